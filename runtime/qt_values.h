// Value conversions between the runtime's own types and Qt's.
#pragma once

#include <QColor>
#include <QString>

#include <string>
#include <string_view>

#include "runtime/form_model.h"

namespace egn::runtime {

inline QString ToQString(std::u16string_view text) {
  return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}

// 0x00BBGGRR to red, green, blue.
inline QColor ToQColor(Colour c) {
  return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                static_cast<int>((c >> 16) & 0xFF));
}

}  // namespace egn::runtime
