#include "runtime/forms.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "runtime/description_parser.h"
#include "runtime/form_builder.h"

namespace egn::runtime {

FormModule::~FormModule() = default;

LoadedForm::LoadedForm(std::unique_ptr<QWidget> window, std::unique_ptr<Form> form)
    : window_(std::move(window)), form_(std::move(form)) {}

// The code goes first, then the control access, then the widgets.
LoadedForm::~LoadedForm() {
  module_.reset();
  form_.reset();
  window_.reset();
}

namespace {

// The controls an event binding names, with the index each one reports: the
// members of an array, or a single control as index 0.
std::vector<std::pair<std::int16_t, Control*>> EventSources(const Form& form,
                                                            const std::string& name) {
  std::vector<std::pair<std::int16_t, Control*>> sources;
  if (const ControlArray* array = form.FindArray(name)) {
    for (const std::int16_t index : array->Indices()) sources.emplace_back(index, &(*array)(index));
  } else if (Control* single = form.FindSingle(name)) {
    sources.emplace_back(0, single);
  }
  return sources;
}

}  // namespace

std::unique_ptr<LoadedForm> LoadForm(const FormClass& form_class) {
  QFile file(QString::fromStdString(form_class.description));
  if (!file.open(QIODevice::ReadOnly)) {
    throw std::runtime_error("cannot read the window description " + form_class.description);
  }
  const QByteArray bytes = file.readAll();
  const FormDescription description =
      ParseDescription(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
  if (description.name != form_class.name) {
    throw std::runtime_error("the description " + form_class.description + " is of " +
                             description.name + ", not of " + form_class.name);
  }
  const QString folder = QFileInfo(file.fileName()).path();
  BuiltForm built = BuildForm(description, [&folder](const std::string& name) {
    return folder + u'/' + QString::fromStdString(name);
  });

  auto loaded = std::make_unique<LoadedForm>(std::move(built.window), std::move(built.form));
  loaded->SetModule(form_class.create(loaded->form()));
  QWidget* window = &loaded->window();
  for (EventBinding& binding : loaded->module().Events()) {
    const auto sources = EventSources(loaded->form(), binding.control);
    if (binding.event != "Click" || sources.empty()) {
      throw std::runtime_error("no control " + binding.control + " raises the event " +
                               binding.event);
    }
    auto handler = std::make_shared<std::function<void(std::int16_t)>>(std::move(binding.handler));
    for (const auto& [index, control] : sources) {
      const bool connected = control->ConnectClick(
          [window, handler, index = index] { DeliverEvent(window, [&] { (*handler)(index); }); });
      if (!connected)
        throw std::runtime_error("control " + control->name() + " raises no Click event");
    }
  }
  return loaded;
}

void ShowRuntimeError(QWidget* window, const RuntimeError& error) {
  QMessageBox box(QMessageBox::Critical, QStringLiteral("Грешка при изпълнение"),
                  QString::fromStdString(error.what()), QMessageBox::Ok, window);
  box.setObjectName(QStringLiteral("RuntimeErrorBox"));
  box.exec();
}

void DeliverEvent(QWidget* window, const std::function<void()>& procedure) {
  try {
    procedure();
  } catch (const RuntimeError& error) {
    ShowRuntimeError(window, error);
  } catch (const std::exception& error) {
    ShowRuntimeError(window, RuntimeError(ErrorNumber::kInternal,
                                          std::string("Вътрешна грешка: ") + error.what()));
  }
}

namespace {

int Run(const Project& project) {
  // Qt reads its own options from the command line; it gets none, so no
  // argument can change the program.
  int argc = 1;
  std::string name = project.application_name;
  char* argv[] = {name.data(), nullptr};
  QApplication application(argc, argv);
  QApplication::setApplicationName(QString::fromStdString(project.application_name));
  QApplication::setApplicationVersion(QString::fromStdString(project.version));
  QGuiApplication::setDesktopFileName(QString::fromStdString(project.desktop_file_name));

  const FormClass* startup = nullptr;
  for (const FormClass& form : project.forms) {
    if (form.name == project.startup_form) startup = &form;
  }
  try {
    if (startup == nullptr) throw std::runtime_error("no window " + project.startup_form);
    const std::unique_ptr<LoadedForm> form = LoadForm(*startup);
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
