#include "runtime/controls_qt.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QValidator>

#include <cmath>

#include "runtime/qt_values.h"

namespace egn::runtime {

namespace {

std::u16string FromQString(const QString& text) { return text.toStdU16String(); }

Qt::Alignment ToQt(Alignment a) {
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

// Settings every kind shares: place, size, visibility, background.
void ApplyCommon(const ControlDescription& d, QWidget& widget) {
  widget.setObjectName(QString::fromStdString(d.DisplayName()));
  widget.setGeometry(TwipsToPixels(d.rect.left), TwipsToPixels(d.rect.top),
                     TwipsToPixels(d.rect.width), TwipsToPixels(d.rect.height));
  if (!d.visible) widget.hide();
  if (!d.accessible_name.empty()) widget.setAccessibleName(ToQString(d.accessible_name));
  if (!d.accessible_description.empty()) {
    widget.setAccessibleDescription(ToQString(d.accessible_description));
  }
}

// --- label and button ----------------------------------------------------------

// A control whose caption is fixed by its description and read back as it
// was given.
class CaptionedControl : public Control {
 public:
  CaptionedControl(const ControlDescription& d, QWidget* widget)
      : Control(d.kind, d.DisplayName(), widget), caption_(d.text) {}
  std::u16string Caption() const override { return caption_; }

 private:
  std::u16string caption_;
};

// --- text box ----------------------------------------------------------------

// The edit widget shows a text; the text property is what was last written or
// typed, kept exactly (a multi-line widget turns CR LF into paragraph breaks,
// which must not change what the program reads back).
class TextBoxControl : public Control {
 public:
  TextBoxControl(const ControlDescription& d, QWidget* widget)
      : Control(d.kind, d.DisplayName(), widget) {}
  std::u16string Text() const override { return text_; }

 protected:
  std::u16string text_;
};

// Refuses an edit that would leave half a surrogate pair: a pasted or typed
// character outside the Basic Multilingual Plane is two UTF-16 units, and a
// one-unit limit would otherwise keep only the first.
class WholeCharacterValidator : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int&) const override {
    for (qsizetype i = 0; i < input.size(); ++i) {
      const QChar c = input[i];
      if (c.isHighSurrogate() && i + 1 < input.size() && input[i + 1].isLowSurrogate()) {
        ++i;
      } else if (c.isSurrogate()) {
        return Invalid;
      }
    }
    return Acceptable;
  }
};

// A read-only box refuses every change by the user. The edit widgets already
// refuse keys, pastes and drops; an input method's commit reaches them as an
// event of its own, and this refuses that too.
class RefuseInputMethod : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject*, QEvent* event) override {
    return event->type() == QEvent::InputMethod;
  }
};

class SingleLineTextBox : public TextBoxControl {
 public:
  SingleLineTextBox(const ControlDescription& d, QLineEdit* edit)
      : TextBoxControl(d, edit), edit_(edit), limit_(d.max_length) {
    edit->setAlignment(ToQt(d.alignment) | Qt::AlignVCenter);
    edit->setReadOnly(d.read_only);
    if (d.read_only) edit->installEventFilter(new RefuseInputMethod(edit));
    edit->setValidator(new WholeCharacterValidator(edit));
    if (limit_ > 0) edit->setMaxLength(limit_);
    QObject::connect(edit, &QLineEdit::textEdited, edit,
                     [this](const QString& text) { text_ = FromQString(text); });
    SetText(d.text);
  }

  void SetText(std::u16string_view text) override {
    text_ = std::u16string(text);
    // The limit holds for the user only: a longer text from the program goes
    // in whole, and the user cannot then type it any longer than that.
    const int length = static_cast<int>(text.size());
    edit_->setMaxLength(limit_ > 0 ? std::max(limit_, length) : 32767);
    edit_->setText(ToQString(text));
  }

 private:
  QLineEdit* edit_;
  int limit_;
};

class MultiLineTextBox : public TextBoxControl {
 public:
  MultiLineTextBox(const ControlDescription& d, QPlainTextEdit* edit)
      : TextBoxControl(d, edit), edit_(edit) {
    edit->setReadOnly(d.read_only);
    if (d.read_only) {
      edit->installEventFilter(new RefuseInputMethod(edit));
      // Still scrolled and selected from the keyboard, like any read-only box.
      edit->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    }
    edit->setFocusPolicy(Qt::StrongFocus);
    edit->setTabChangesFocus(true);
    edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    edit->setWordWrapMode(QTextOption::WordWrap);
    const bool vertical =
        d.scroll_bars == ScrollBars::kVertical || d.scroll_bars == ScrollBars::kBoth;
    const bool horizontal =
        d.scroll_bars == ScrollBars::kHorizontal || d.scroll_bars == ScrollBars::kBoth;
    edit->setVerticalScrollBarPolicy(vertical ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    edit->setHorizontalScrollBarPolicy(horizontal ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    if (horizontal) edit->setLineWrapMode(QPlainTextEdit::NoWrap);
    QObject::connect(edit, &QPlainTextEdit::textChanged, edit, [this] {
      if (!writing_) text_ = ToStoredText(edit_->toPlainText());
    });
    SetText(d.text);
  }

  void SetText(std::u16string_view text) override {
    text_ = std::u16string(text);
    writing_ = true;
    edit_->setPlainText(ToQString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    writing_ = false;
  }

 private:
  static std::u16string ToStoredText(const QString& shown) {
    return FromQString(QString(shown).replace(QLatin1Char(0x0A), QStringLiteral("\r\n")));
  }

  QPlainTextEdit* edit_;
  bool writing_ = false;
};

// --- button ------------------------------------------------------------------

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
      : CaptionedControl(d, button), button_(button) {}
  bool ConnectClick(const std::function<void()>& handler) override {
    QObject::connect(button_, &QPushButton::clicked, button_, [handler] { handler(); });
    return true;
  }

 private:
  QPushButton* button_;
};

QString ButtonStyleSheet(Colour colour) {
  const QColor face = ToQColor(colour);
  const QString f = face.name(), light = face.lighter(150).name(), dark = face.darker(170).name();
  return QStringLiteral(
             "QPushButton { background-color: %1; border-width: 2px; border-style: solid;"
             " border-color: %2 %3 %3 %2; color: palette(button-text); }"
             "QPushButton:pressed { border-color: %3 %2 %2 %3; }"
             "QPushButton:focus { border-color: palette(shadow); }")
      .arg(f, light, dark);
}

}  // namespace

int TwipsToPixels(int twips) { return static_cast<int>(std::lround(twips / 15.0)); }

std::unique_ptr<Control> CreateLabel(const ControlDescription& d, QWidget& window) {
  auto* label = new QLabel(&window);
  ApplyCommon(d, *label);
  label->setTextFormat(Qt::PlainText);
  label->setText(ToQString(d.text));
  label->setAlignment(ToQt(d.alignment) | Qt::AlignTop);
  label->setWordWrap(true);
  label->setMargin(0);
  label->setIndent(0);
  label->setFocusPolicy(Qt::NoFocus);
  if (d.back_colour) FillWith(*label, QPalette::Window, *d.back_colour);
  // Painted on the window's surface: beneath every windowed control.
  label->lower();
  return std::make_unique<CaptionedControl>(d, label);
}

std::unique_ptr<Control> CreateTextBox(const ControlDescription& d, QWidget& window) {
  if (d.multi_line) {
    auto* edit = new QPlainTextEdit(&window);
    ApplyCommon(d, *edit);
    if (d.back_colour) FillWith(*edit, QPalette::Base, *d.back_colour);
    return std::make_unique<MultiLineTextBox>(d, edit);
  }
  auto* edit = new QLineEdit(&window);
  ApplyCommon(d, *edit);
  if (d.back_colour) FillWith(*edit, QPalette::Base, *d.back_colour);
  return std::make_unique<SingleLineTextBox>(d, edit);
}

std::unique_ptr<Control> CreateListBox(const ControlDescription& d, QWidget& window) {
  auto* list = new QListWidget(&window);
  ApplyCommon(d, *list);
  for (const std::u16string& item : d.items) list->addItem(ToQString(item));
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  list->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  list->setCurrentRow(-1);
  if (d.back_colour) FillWith(*list, QPalette::Base, *d.back_colour);
  // The list box has no property that a procedure reads or writes.
  return std::make_unique<Control>(d.kind, d.DisplayName(), list);
}

std::unique_ptr<Control> CreateButton(const ControlDescription& d, QWidget& window) {
  auto* button = new FormButton(ToQString(d.text), &window);
  ApplyCommon(d, *button);
  button->setAutoDefault(false);
  button->setDefault(false);
  button->setFocusPolicy(Qt::StrongFocus);
  if (d.back_colour && d.style == ButtonStyle::kGraphical) {
    button->setStyleSheet(ButtonStyleSheet(*d.back_colour));
  }
  return std::make_unique<ButtonControl>(d, button);
}

}  // namespace egn::runtime
