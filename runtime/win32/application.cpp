#include "runtime/win32/application.h"

#include <objbase.h>

#include <algorithm>
#include <cstdlib>
#include <stdexcept>
#include <string>

namespace egn::runtime {

namespace {

std::u16string FromUtf8(const std::string& text) {
  const int length =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::u16string wide(static_cast<std::size_t>(std::max(length, 0)), u'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                      reinterpret_cast<wchar_t*>(wide.data()), length);
  return wide;
}

}  // namespace

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
