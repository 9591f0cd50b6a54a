// Push buttons: pressed by a click, by Space and by Enter while focused; never
// the window's default button; in graphical style a solid face of their
// colour.
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPushButton>

#include "runtime/qt/control_makers.h"
#include "runtime/qt/values.h"

namespace egn::runtime {

namespace {

// A push button outside a dialog: Space presses it, and so does Enter while
// it has the focus; it is never the window's default button.
class FormButton : public QPushButton {
 public:
  using QPushButton::QPushButton;

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        !event->isAutoRepeat() && event->modifiers() == Qt::NoModifier) {
      click();
      return;
    }
    QPushButton::keyPressEvent(event);
  }
};

class ButtonControl : public CaptionedControl {
 public:
  ButtonControl(const ControlDescription& d, QPushButton* button)
      : CaptionedControl(d), button_(button) {}
  bool ConnectClick(const std::function<void()>& handler) override {
    QObject::connect(button_, &QPushButton::clicked, button_, [handler] { handler(); });
    return true;
  }

 private:
  QPushButton* button_;
};

// A solid face with a raised edge and a caption that stays readable on it.
QString ButtonStyleSheet(Colour colour, const QPalette& palette) {
  const QColor face = ToQColor(colour);
  const QString f = face.name(), light = face.lighter(150).name(), dark = face.darker(170).name();
  // The system's text colour where it is readable on the face (a light
  // scheme), a fixed one where it is not (a dark scheme).
  const bool readable =
      ContrastRatio(colour, FromQColor(palette.color(QPalette::ButtonText))) >= kReadableContrast;
  const QString text = readable ? QStringLiteral("palette(button-text)")
                                : ReadableTextOn(colour, palette, QPalette::ButtonText).name();
  return QStringLiteral(
             "QPushButton { background-color: %1; border-width: 2px; border-style: solid;"
             " border-color: %2 %3 %3 %2; color: %4; }"
             "QPushButton:pressed { border-color: %3 %2 %2 %3; }"
             "QPushButton:focus { border-color: %4; }")
      .arg(f, light, dark, text);
}

}  // namespace

QtControl MakeButton(const ControlDescription& d, QWidget& window) {
  auto* button = new FormButton(ToQString(d.text), &window);
  ApplyCommon(d, *button);
  button->setAutoDefault(false);
  button->setDefault(false);
  button->setFocusPolicy(Qt::StrongFocus);
  if (d.back_colour && d.style == ButtonStyle::kGraphical &&
      !HighContrast(QGuiApplication::palette())) {
    button->setStyleSheet(ButtonStyleSheet(*d.back_colour, QGuiApplication::palette()));
  }
  return {std::make_unique<ButtonControl>(d, button), button};
}

}  // namespace egn::runtime
