// Text boxes: single-line (with the character limit) and multi-line (word
// wrap, scroll bars); read-only boxes refuse every change by the user, never
// a write by the program; what the program writes to a visible, read-only,
// multi-line box is announced to a screen reader after the command.
#include <QLineEdit>
#include <QPlainTextEdit>

#include <algorithm>

#include "runtime/core/conversions.h"
#include "runtime/qt/control_makers.h"
#include "runtime/qt/reports.h"
#include "runtime/qt/values.h"

namespace egn::runtime {

namespace {

std::u16string FromQString(const QString& text) { return text.toStdU16String(); }

// The edit widget shows a text; the text property is what was last written or
// typed, kept exactly (a multi-line widget turns CR LF into paragraph breaks,
// which must not change what the program reads back).
class TextBoxControl : public Control {
 public:
  explicit TextBoxControl(const ControlDescription& d) : Control(d.kind, d.DisplayName()) {}
  std::u16string Text() const override { return text_; }

 protected:
  std::u16string text_;
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
      : TextBoxControl(d), edit_(edit), limit_(d.max_length) {
    edit->setAlignment(ToQt(d.alignment) | Qt::AlignVCenter);
    edit->setReadOnly(d.read_only);
    if (d.read_only) edit->installEventFilter(new RefuseInputMethod(edit));
    if (limit_ > 0) edit->setMaxLength(limit_);
    // An edit by the user that would leave half a character is refused as a
    // whole: the text and the cursor go back to what they were before it.
    // (Checked here rather than by a QValidator: the same rule, without
    // bringing Qt's validator code into every start.)
    QObject::connect(edit, &QLineEdit::cursorPositionChanged, edit,
                     [this](int, int now) { cursor_ = now; });
    QObject::connect(edit, &QLineEdit::textEdited, edit, [this](const QString& text) {
      if (HasLoneSurrogate(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                               static_cast<std::size_t>(text.size())))) {
        const int cursor = cursor_;
        edit_->setText(ToQString(text_));
        edit_->setCursorPosition(cursor);
        return;
      }
      text_ = FromQString(text);
    });
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
  int cursor_ = 0;  // where the cursor stood before the edit under way
};

class MultiLineTextBox : public TextBoxControl {
 public:
  MultiLineTextBox(const ControlDescription& d, QPlainTextEdit* edit)
      : TextBoxControl(d), edit_(edit) {
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
    SetText(d.text);  // the described text is no news
    // A visible box that only the program writes to, over several lines, is
    // where it reports: what it writes there is announced after the command.
    reports_ = d.read_only && d.visible;
  }

  void SetText(std::u16string_view text) override {
    text_ = std::u16string(text);
    writing_ = true;
    edit_->setPlainText(ToQString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    writing_ = false;
    if (reports_) ReportWritten(*edit_);
  }

 private:
  static std::u16string ToStoredText(const QString& shown) {
    return FromQString(QString(shown).replace(QLatin1Char(0x0A), QStringLiteral("\r\n")));
  }

  QPlainTextEdit* edit_;
  bool writing_ = false;
  bool reports_ = false;
};

}  // namespace

QtControl MakeTextBox(const ControlDescription& d, QWidget& window) {
  if (d.multi_line) {
    auto* edit = new QPlainTextEdit(&window);
    ApplyCommon(d, *edit);
    if (d.back_colour) FillWith(*edit, QPalette::Base, *d.back_colour);
    return {std::make_unique<MultiLineTextBox>(d, edit), edit};
  }
  auto* edit = new QLineEdit(&window);
  ApplyCommon(d, *edit);
  if (d.back_colour) FillWith(*edit, QPalette::Base, *d.back_colour);
  return {std::make_unique<SingleLineTextBox>(d, edit), edit};
}

}  // namespace egn::runtime
