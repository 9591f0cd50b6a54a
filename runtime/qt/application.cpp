#include "runtime/qt/application.h"

#include <QApplication>
#include <QMessageBox>
#include <QWidget>

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "runtime/qt/form_builder.h"
#include "runtime/qt/reports.h"

namespace egn::runtime {

LoadedForm::LoadedForm(std::unique_ptr<QWidget> window, std::unique_ptr<Form> form)
    : window_(std::move(window)), form_(std::move(form)) {}

// The code goes first, then the control access, then the widgets.
LoadedForm::~LoadedForm() {
  module_.reset();
  form_.reset();
  window_.reset();
}

std::unique_ptr<LoadedForm> LoadForm(const FormClass& form_class) {
  const ReadForm read = ReadFormClass(form_class);
  BuiltForm built = BuildForm(read.description, read.icon);
  auto loaded = std::make_unique<LoadedForm>(std::move(built.window), std::move(built.form));
  loaded->SetModule(form_class.create(loaded->form()));
  QWidget* window = &loaded->window();
  // What a command wrote where the window reports is announced once the
  // command has finished, once, with the final text.
  ConnectEvents(loaded->form(), loaded->module(), [window](const std::function<void()>& procedure) {
    DeliverEvent(window, procedure);
    AnnounceReports(*window);
  });
  return loaded;
}

void ShowRuntimeError(QWidget* window, const RuntimeError& error) {
  QMessageBox box(QMessageBox::Critical, QStringLiteral("Грешка при изпълнение"),
                  QString::fromStdString(error.what()), QMessageBox::Ok, window);
  box.setObjectName(QStringLiteral("RuntimeErrorBox"));
  box.exec();
}

void DeliverEvent(QWidget* window, const std::function<void()>& procedure) {
  if (const std::optional<RuntimeError> error = RunEventProcedure(procedure)) {
    ShowRuntimeError(window, *error);
  }
}

namespace {

// Whether Qt has a display to open a window on. Without one it would abort
// the process with a long message about reinstalling; the user gets one line
// instead. Qt's platform can also be chosen explicitly (offscreen, vnc).
bool HasDisplay() {
#if defined(__unix__) && !defined(__APPLE__)
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return true;
  }
  return false;
#else
  return true;
#endif
}

// Without a session bus, libdbus starts one as soon as the accessibility
// bridge asks for it ("dbus-launch --autolaunch" and a dbus-daemon, which
// write under ~/.dbus). The program starts nothing and writes nothing: where
// no bus address is set and the runtime folder holds no bus socket, it tells
// its own libdbus that there is no bus, and runs without the bridge.
void NoBusAutolaunch() {
#if defined(__unix__) && !defined(__APPLE__)
  const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (address != nullptr && *address != '\0') return;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  struct stat bus {};
  if (runtime != nullptr && *runtime != '\0' &&
      stat((std::string(runtime) + "/bus").c_str(), &bus) == 0 && S_ISSOCK(bus.st_mode)) {
    return;  // libdbus finds the user's bus there
  }
  setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
#endif
}

int Run(const Project& project) {
  if (!HasDisplay()) {
    std::fprintf(stderr,
                 "%s: няма дисплей, на който да се отвори прозорецът "
                 "(не е зададена нито DISPLAY, нито WAYLAND_DISPLAY)\n",
                 project.application_name.c_str());
    return 1;
  }
  NoBusAutolaunch();
  // Qt reads its own options from the command line; it gets none, so no
  // argument can change the program.
  int argc = 1;
  std::string name = project.application_name;
  char* argv[] = {name.data(), nullptr};
  QApplication application(argc, argv);
  QApplication::setApplicationName(QString::fromStdString(project.application_name));
  QApplication::setApplicationVersion(QString::fromStdString(project.version));
  QGuiApplication::setDesktopFileName(QString::fromStdString(project.desktop_file_name));

  try {
    const std::unique_ptr<LoadedForm> form = LoadForm(StartupForm(project));
    form->window().show();
    return QApplication::exec();
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s: %s\n", project.application_name.c_str(), error.what());
    return 1;
  }
}

}  // namespace

void Start(const Project& project) { std::exit(Run(project)); }

}  // namespace egn::runtime
