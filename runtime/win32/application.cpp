#include "runtime/win32/application.h"

#include <objbase.h>

#include <cstdlib>
#include <stdexcept>
#include <string>

#include "runtime/win32/values.h"

namespace egn::runtime {

std::unique_ptr<LoadedForm> LoadForm(const FormClass& form_class) {
  const ReadForm read = ReadFormClass(form_class);
  // The program's icon is its resource 1, as for the executable itself.
  auto loaded = std::make_unique<LoadedForm>(std::make_unique<FormWindow>(read.description, 1));
  loaded->SetModule(form_class.create(loaded->form()));
  FormWindow& window = loaded->window();
  // What a procedure reported is announced when it has finished, once.
  ConnectEvents(loaded->form(), loaded->module(),
                [&window](const std::function<void()>& procedure) {
                  DeliverEvent(window.hwnd(), procedure);
                  window.AnnounceReports();
                });
  return loaded;
}

void ShowRuntimeError(HWND window, const RuntimeError& error) {
  const std::u16string text = FromUtf8(error.what());
  MessageBoxW(window, Wide(text), L"Грешка при изпълнение", MB_OK | MB_ICONERROR);
}

void DeliverEvent(HWND window, const std::function<void()>& procedure) {
  if (const std::optional<RuntimeError> error = RunEventProcedure(procedure)) {
    ShowRuntimeError(window, *error);
  }
}

namespace {

int Run(const Project& project) {
  try {
    const std::unique_ptr<LoadedForm> form = LoadForm(StartupForm(project));
    form->window().QuitOnClose();
    form->window().Show();
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
      if (form->window().PreTranslate(message)) continue;
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
  } catch (const std::exception& error) {
    const std::u16string text = FromUtf8(project.application_name + ": " + error.what());
    MessageBoxW(nullptr, Wide(text), Wide(FromUtf8(project.application_name)),
                MB_OK | MB_ICONERROR);
    return 1;
  }
}

}  // namespace

// The command line is not read: the program has none.
void Start(const Project& project) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);  // for the accessibility annotations
  const int status = Run(project);
  CoUninitialize();
  std::exit(status);
}

}  // namespace egn::runtime
