// How a report reaches a screen reader under Qt 6.4. Qt already sends
// "text-changed" for the box, but a screen reader reads text changes only of
// the object with the focus, and the focus stays on the button pressed. Qt
// 6.4 has no announcement event and no live region, and its AT-SPI bridge
// sends nothing at all for QAccessible::Alert. What it does send is
// "object:state-changed:showing" when a widget is shown, with the role its
// accessible interface gives: QAccessible::Notification goes out as the
// AT-SPI role "notification", which screen readers present as it appears,
// wherever the focus is, by its name. (The "alert" role appears the same way
// but stands for a warning that needs attention; a result is news, not a
// warning.) So each announcement is a notification, named by the report,
// that is shown: one "showing" per command, hidden again before the next.
//
// The notification is a widget of the box's size beneath the box: it draws
// nothing and the box covers it, so the window's pixels stay the same; it
// takes no focus and no mouse, so the focus, the Tab order and the keyboard
// stay the same; a screen reader's review finds the last report where the
// box is. It is made at the first report written while a screen reader is
// active, never at start-up.
#include "runtime/qt/reports.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QWidget>

namespace egn::runtime {

namespace {

// Not a control name: the description cannot give a control this name.
const QLatin1String kAnnouncerName("(announcer)");

// Whether any window has an announcer: until then, a write or a command costs
// one test of this flag more than before.
bool announcer_made = false;

class Announcer final : public QWidget {
 public:
  Announcer(QWidget& window, QPlainTextEdit& box) : QWidget(&window) {
    setObjectName(kAnnouncerName);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setGeometry(box.geometry());
    stackUnder(&box);
    hide();
  }

  void Written(QPlainTextEdit& box) { written_ = &box; }

  void Announce() {
    if (written_.isNull()) return;
    const QString text = written_->toPlainText().trimmed();
    written_.clear();
    // Hidden first, so that every report appears anew, even one that says
    // what the last one said.
    hide();
    setAccessibleName(text);
    if (!text.isEmpty()) show();
  }

 private:
  QPointer<QPlainTextEdit> written_;  // the box the command under way wrote
};

// Gives the announcer the notification role. The announcer has no meta-object
// of its own, so Qt asks with the key "QWidget".
QAccessibleInterface* NotificationFactory(const QString& key, QObject* object) {
  if (key != QLatin1String("QWidget")) return nullptr;
  auto* announcer = dynamic_cast<Announcer*>(object);
  if (announcer == nullptr) return nullptr;
  return new QAccessibleWidget(announcer, QAccessible::Notification);
}

Announcer* FindAnnouncer(QWidget& window) {
  return dynamic_cast<Announcer*>(
      window.findChild<QWidget*>(kAnnouncerName, Qt::FindDirectChildrenOnly));
}

}  // namespace

void ReportWritten(QPlainTextEdit& box) {
  QWidget& window = *box.window();
  // Once made, the announcer follows every write, so that it never shows a
  // report that the box no longer holds, even after the screen reader stopped.
  Announcer* announcer = announcer_made ? FindAnnouncer(window) : nullptr;
  if (announcer == nullptr) {
    if (!QAccessible::isActive()) return;
    // Before the announcer's accessible interface is first asked for, which
    // Qt then keeps for as long as the widget lives.
    if (!announcer_made) QAccessible::installFactory(&NotificationFactory);
    announcer_made = true;
    announcer = new Announcer(window, box);
  }
  announcer->Written(box);
}

void AnnounceReports(QWidget& window) {
  if (!announcer_made) return;
  if (Announcer* announcer = FindAnnouncer(window)) announcer->Announce();
}

}  // namespace egn::runtime
