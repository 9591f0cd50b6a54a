// Labels: painted on the window's own surface, beneath every windowed
// control; never focused; the caption starts at the top edge.
#include <QGuiApplication>
#include <QLabel>

#include "runtime/qt/control_makers.h"
#include "runtime/qt/values.h"

namespace egn::runtime {

QtControl MakeLabel(const ControlDescription& d, QWidget& window) {
  auto* label = new QLabel(&window);
  ApplyCommon(d, *label);
  label->setTextFormat(Qt::PlainText);
  label->setText(ToQString(d.text));
  label->setAlignment(ToQt(d.alignment) | Qt::AlignTop);
  label->setWordWrap(true);
  label->setMargin(0);
  label->setIndent(0);
  label->setFocusPolicy(Qt::NoFocus);
  if (d.back_colour && !HighContrast(QGuiApplication::palette())) {
    FillWith(*label, QPalette::Window, *d.back_colour);
    // Only where the system's text would not be readable on the face (a dark
    // scheme): a light scheme keeps the palette it shares with the window.
    const QColor text = QGuiApplication::palette().color(QPalette::WindowText);
    if (ContrastRatio(*d.back_colour, FromQColor(text)) < kReadableContrast) {
      QPalette palette = label->palette();
      palette.setColor(QPalette::WindowText,
                       ReadableTextOn(*d.back_colour, palette, QPalette::WindowText));
      label->setPalette(palette);
    }
  }
  // Painted on the window's surface: beneath every windowed control.
  label->lower();
  return {std::make_unique<CaptionedControl>(d), label};
}

}  // namespace egn::runtime
