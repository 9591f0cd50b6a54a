#include "runtime/web/application.h"

#include <emscripten/emscripten.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "runtime/web/form_page.h"
#include "runtime/web/values.h"

namespace egn::runtime {

namespace {

// The start-up window, with its code, for as long as the page is open.
struct LoadedPage {
  BuiltPage page;
  std::unique_ptr<FormModule> module;
};
LoadedPage* loaded = nullptr;

PageObject Paragraph(const char* css_class, const std::string& text) {
  PageObject p = CreateElement("p");
  p.Set("className", css_class);
  p.Set("textContent", text);
  return p;
}

// The text property of a control of the open window, for automation: what
// the program reads, not what the element shows. None where there is no such
// control.
std::optional<std::u16string> ControlText(const std::string& array, int index) {
  if (loaded == nullptr) return std::nullopt;
  const Form& form = *loaded->page.form;
  if (const ControlArray* members = form.FindArray(array)) {
    for (const std::int16_t i : members->Indices()) {
      if (i == index) return (*members)(i).Text();
    }
  } else if (Control* single = form.FindSingle(array)) {
    return single->Text();
  }
  return std::nullopt;
}

}  // namespace

void ShowRuntimeError(const RuntimeError& error) {
  const PageObject document = Document();
  const PageObject focused = document.Get("activeElement");
  PageObject dialog = CreateElement("dialog");
  // Classes of its own: none of the window's controls' styles reaches it.
  dialog.Set("className", "message");
  dialog.SetAttribute("role", "alertdialog");
  PageObject title = Paragraph("message-title", "Грешка при изпълнение");
  title.Set("id", "message-title");
  PageObject text = Paragraph("message-text", error.what());
  text.Set("id", "message-text");
  dialog.SetAttribute("aria-labelledby", "message-title");
  dialog.SetAttribute("aria-describedby", "message-text");
  PageObject ok = CreateElement("button");
  ok.Set("type", "button");
  ok.Set("className", "message-ok");
  ok.Set("textContent", "OK");
  dialog.Call("appendChild", title);
  dialog.Call("appendChild", text);
  dialog.Call("appendChild", ok);
  document.Get("body").Call("appendChild", dialog);
  // Closed by OK or by Esc; it then takes its listeners with it, and with
  // them the last hold on its elements.
  const int on_ok = Listen(ok, "click", [dialog](const PageObject&) { dialog.Call("close"); });
  auto on_close = std::make_shared<int>(-1);
  *on_close = Listen(dialog, "close", [dialog, ok, focused, on_ok, on_close](const PageObject&) {
    Unlisten(ok, "click", on_ok);
    Unlisten(dialog, "close", *on_close);
    dialog.Call("remove");
    if (!focused.IsNone()) focused.Call("focus");
  });
  dialog.Call("showModal");
  ok.Call("focus");
}

void DeliverEvent(const std::function<void()>& procedure) {
  if (const std::optional<RuntimeError> error = RunEventProcedure(procedure)) {
    ShowRuntimeError(*error);
  }
}

namespace {

// A start that failed: the window is taken out of the page again, whichever
// is there (the one the page carries, or one built), and the message alone
// stays, with no half-working window.
void ShowStartFailure(const std::string& application_name, const std::exception& error) {
  RemoveWindow();
  const std::string message = application_name + ": " + error.what();
  PageObject failure = Paragraph("failure", message);
  failure.SetAttribute("role", "alert");
  Document().Get("body").Call("appendChild", failure);
  PageObject::Global("console").Call("error", message);
}

}  // namespace

void FinishStart(const std::string& application_name, const FormClass& form_class,
                 const FormDescription& description) {
  std::unique_ptr<LoadedPage> page;
  try {
    page = std::make_unique<LoadedPage>(LoadedPage{BuildPage(description), nullptr});
    page->module = form_class.create(*page->page.form);
    ConnectEvents(*page->page.form, *page->module,
                  [](const std::function<void()>& procedure) { DeliverEvent(procedure); });
    loaded = page.release();
    // What the user did in the window the page carried before the program
    // ran is now carried out (the page's egnStarted).
    PageObject::Global().Call("egnStarted");
  } catch (const std::exception& error) {
    ShowStartFailure(application_name, error);
  }
}

// The page has no command line and no process to end: once the window is
// built, the page's own event loop runs it for as long as it is open. The
// start goes in two steps, each a task of its own, so that neither holds the
// page for long: this one reads the description, FinishStart builds the
// window.
void Start(const Project& project) {
  try {
    const FormClass& form_class = StartupForm(project);
    auto read = std::make_shared<ReadForm>(ReadFormClass(form_class));
    Later([name = project.application_name, form_class, read] {
      FinishStart(name, form_class, read->description);
    });
  } catch (const std::exception& error) {
    ShowStartFailure(project.application_name, error);
  }
  emscripten_exit_with_live_runtime();
}

}  // namespace egn::runtime

// The control's text for automation (see ControlText): the array's name is
// the UTF-16 text the page put in the bridge's buffer (egn_units), and the
// answer goes back there, its length returned; -1 where there is no such
// control. The page's side is Module.egnControlText (loader.js).
extern "C" EMSCRIPTEN_KEEPALIVE int egn_control_text(int index) {
  const std::u16string& name = egn::runtime::Units();
  std::string array;
  for (const char16_t c : name) array += static_cast<char>(c < 0x80 ? c : '?');
  const std::optional<std::u16string> text = egn::runtime::ControlText(array, index);
  if (!text) return -1;
  egn::runtime::Units() = *text;
  return static_cast<int>(text->size());
}
