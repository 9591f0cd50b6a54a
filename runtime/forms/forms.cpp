#include "runtime/forms/forms.h"

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>

#include "runtime/forms/description_parser.h"
#include "runtime/platform/platform.h"

namespace egn::runtime {

FormModule::~FormModule() = default;

namespace {

// The bytes of the embedded file of that name, else of the file on disk
// (a UTF-8 path), read into `storage`.
std::optional<std::string_view> ReadFile(const FormClass& form_class, const std::string& name,
                                         std::string& storage) {
  for (const EmbeddedFile& file : form_class.files) {
    if (file.name == name) return file.bytes;
  }
  if (name.starts_with(":/")) return std::nullopt;
  // C stdio rather than a stream: the program then needs none of the
  // standard library's locale and stream machinery at start-up.
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(platform::OpenForReading(name),
                                                           &std::fclose);
  if (!in) return std::nullopt;
  storage.clear();
  char buffer[4096];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, in.get())) > 0) storage.append(buffer, got);
  if (std::ferror(in.get())) return std::nullopt;
  return storage;
}

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

const FormClass& StartupForm(const Project& project) {
  for (const FormClass& form : project.forms) {
    if (form.name == project.startup_form) return form;
  }
  throw std::runtime_error("no window " + project.startup_form);
}

ReadForm ReadFormClass(const FormClass& form_class) {
  std::string storage;
  const std::optional<std::string_view> bytes =
      ReadFile(form_class, form_class.description, storage);
  if (!bytes)
    throw std::runtime_error("cannot read the window description " + form_class.description);
  ReadForm read{ParseDescription(*bytes), {}};
  if (read.description.name != form_class.name) {
    throw std::runtime_error("the description " + form_class.description + " is of " +
                             read.description.name + ", not of " + form_class.name);
  }
  if (!read.description.icon.empty()) {
    const std::size_t slash = form_class.description.find_last_of('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : form_class.description.substr(0, slash + 1);
    read.icon = ReadFile(form_class, folder + read.description.icon, storage).value_or("");
  }
  return read;
}

void ConnectEvents(const Form& form, FormModule& module, const Deliver& deliver) {
  for (EventBinding& binding : module.Events()) {
    const auto sources = EventSources(form, binding.control);
    if (binding.event != "Click" || sources.empty()) {
      throw std::runtime_error("no control " + binding.control + " raises the event " +
                               binding.event);
    }
    auto handler = std::make_shared<std::function<void(std::int16_t)>>(std::move(binding.handler));
    for (const auto& [index, control] : sources) {
      const bool connected = control->ConnectClick(
          [deliver, handler, index = index] { deliver([&] { (*handler)(index); }); });
      if (!connected)
        throw std::runtime_error("control " + control->name() + " raises no Click event");
    }
  }
}

std::optional<RuntimeError> RunEventProcedure(const std::function<void()>& procedure) {
  try {
    procedure();
  } catch (const RuntimeError& error) {
    return error;
  } catch (const std::exception& error) {
    return RuntimeError(ErrorNumber::kInternal, std::string("Вътрешна грешка: ") + error.what());
  }
  return std::nullopt;
}

}  // namespace egn::runtime
