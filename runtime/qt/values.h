// Value conversions between the runtime's own types and Qt's.
#pragma once

#include <QColor>
#include <QPalette>
#include <QString>
#include <QWidget>

#include <string>
#include <string_view>

#include "runtime/forms/appearance.h"
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

inline Colour FromQColor(const QColor& c) {
  return static_cast<Colour>(c.red()) | (static_cast<Colour>(c.green()) << 8) |
         (static_cast<Colour>(c.blue()) << 16);
}

// Whether the palette is a high-contrast theme's: pure black and pure white
// for the window and its text. The window then follows the system's colours
// entirely instead of its own pale faces.
inline bool HighContrast(const QPalette& palette) {
  const QColor window = palette.color(QPalette::Window), text = palette.color(QPalette::WindowText);
  const auto pure = [](const QColor& c, int v) {
    return c.red() == v && c.green() == v && c.blue() == v;
  };
  return (pure(window, 255) && pure(text, 0)) || (pure(window, 0) && pure(text, 255));
}

// The text colour for a fixed face: the palette's `role` where it is
// readable there, otherwise black or white (a dark scheme's light text would
// vanish on the window's pale faces).
inline QColor ReadableTextOn(Colour face, const QPalette& palette, QPalette::ColorRole role) {
  return ToQColor(ReadableTextOn(face, FromQColor(palette.color(role))));
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
