// Labels: painted on the window's own surface, beneath every windowed
// control; never focused; the caption starts at the top edge.
#include <QLabel>

#include "runtime/qt/qt_values.h"
#include "runtime/qt/widget_factories.h"

namespace egn::runtime {

QtControl CreateLabel(const ControlDescription& d, QWidget& window) {
  auto* label = new QLabel(&window);
  ApplyCommon(d, *label);
  label->setTextFormat(Qt::PlainText);
  label->setText(ToQString(d.text));
  label->setAlignment(ToQt(d.alignment) | Qt::AlignTop);
  label->setWordWrap(true);
  label->setMargin(0);
  label->setIndent(0);
  label->setFocusPolicy(Qt::NoFocus);
  if (d.back_colour && !HighContrast(label->palette())) {
    FillWith(*label, QPalette::Window, *d.back_colour);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText,
                     ReadableTextOn(*d.back_colour, palette, QPalette::WindowText));
    label->setPalette(palette);
  }
  // Painted on the window's surface: beneath every windowed control.
  label->lower();
  return {std::make_unique<CaptionedControl>(d), label};
}

}  // namespace egn::runtime
