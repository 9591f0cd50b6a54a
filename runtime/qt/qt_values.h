// Value conversions between the runtime's own types and Qt's.
#pragma once

#include <QColor>
#include <QPalette>
#include <QString>
#include <QWidget>

#include <string>
#include <string_view>

#include "runtime/forms/form_model.h"

namespace egn::runtime {

inline QString ToQString(std::u16string_view text) {
  return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}

inline Qt::Alignment ToQt(Alignment a) {
  switch (a) {
    case Alignment::kLeft:
      return Qt::AlignLeft;
    case Alignment::kCenter:
      return Qt::AlignHCenter;
    case Alignment::kRight:
      return Qt::AlignRight;
  }
  return Qt::AlignLeft;
}

// 0x00BBGGRR to red, green, blue.
inline QColor ToQColor(Colour c) {
  return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                static_cast<int>((c >> 16) & 0xFF));
}

// Paints `role` of the widget's palette in the colour; for the window's own
// surface (QPalette::Window) the widget then fills its whole rectangle.
inline void FillWith(QWidget& widget, QPalette::ColorRole role, Colour colour) {
  QPalette palette = widget.palette();
  palette.setColor(role, ToQColor(colour));
  widget.setPalette(palette);
  if (role == QPalette::Window) widget.setAutoFillBackground(true);
}

}  // namespace egn::runtime
