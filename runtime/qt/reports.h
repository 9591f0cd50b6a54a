// What the program reports, announced to a screen reader. A visible,
// read-only, multi-line box is where the program reports its results; the
// box rarely has the focus, so a screen reader would not say what is written
// there. Once a command has finished, the box's final text is announced once,
// through a notification that appears. Nothing of this runs, and nothing is
// made, unless a screen reader is active.
#pragma once

class QPlainTextEdit;
class QWidget;

namespace egn::runtime {

// Notes that the program wrote `box` (a reporting box) during the command
// under way. Does nothing unless a screen reader is active.
void ReportWritten(QPlainTextEdit& box);

// After a command of `window`: announces the final text of the reporting box
// it wrote, once; an emptied box announces nothing and withdraws the last
// announcement. Does nothing when the command wrote no reporting box.
void AnnounceReports(QWidget& window);

}  // namespace egn::runtime
