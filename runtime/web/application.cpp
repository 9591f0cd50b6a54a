#include "runtime/web/application.h"

#include <emscripten/bind.h>
#include <emscripten/emscripten.h>

#include <memory>
#include <string>

#include "runtime/web/form_page.h"
#include "runtime/web/values.h"

namespace egn::runtime {

namespace {

using emscripten::val;

// The start-up window, with its code, for as long as the page is open.
struct LoadedPage {
  BuiltPage page;
  std::unique_ptr<FormModule> module;
};
LoadedPage* loaded = nullptr;

val Paragraph(const char* css_class, const std::string& text) {
  val p = CreateElement("p");
  p.set("className", std::string(css_class));
  p.set("textContent", text);
  return p;
}

// The text property of a control of the open window, for automation: what
// the program reads, not what the element shows. Undefined where there is
// no such control.
val ControlText(const std::string& array, int index) {
  if (loaded == nullptr) return val::undefined();
  const Form& form = *loaded->page.form;
  if (const ControlArray* members = form.FindArray(array)) {
    for (const std::int16_t i : members->Indices()) {
      if (i == index) return ToJs((*members)(i).Text());
    }
  } else if (Control* single = form.FindSingle(array)) {
    return ToJs(single->Text());
  }
  return val::undefined();
}

}  // namespace

EMSCRIPTEN_BINDINGS(egn_runtime_web_application) {
  emscripten::function("egnControlText", &ControlText);
}

void ShowRuntimeError(const RuntimeError& error) {
  const val document = Document();
  const val focused = document["activeElement"];
  val dialog = CreateElement("dialog");
  // Classes of its own: none of the window's controls' styles reaches it.
  dialog.set("className", std::string("message"));
  dialog.call<void>("setAttribute", std::string("role"), std::string("alertdialog"));
  val title = Paragraph("message-title", "Грешка при изпълнение");
  title.set("id", std::string("message-title"));
  val text = Paragraph("message-text", error.what());
  text.set("id", std::string("message-text"));
  dialog.call<void>("setAttribute", std::string("aria-labelledby"), std::string("message-title"));
  dialog.call<void>("setAttribute", std::string("aria-describedby"), std::string("message-text"));
  val ok = CreateElement("button");
  ok.set("type", std::string("button"));
  ok.set("className", std::string("message-ok"));
  ok.set("textContent", std::string("OK"));
  dialog.call<void>("append", title, text, ok);
  document["body"].call<void>("appendChild", dialog);
  // Closed by OK or by Esc; it then takes its listeners with it, and with
  // them the last hold on its elements.
  const int on_ok = Listen(ok, "click", [dialog](const val&) { dialog.call<void>("close"); });
  auto on_close = std::make_shared<int>(-1);
  *on_close = Listen(dialog, "close", [dialog, ok, focused, on_ok, on_close](const val&) {
    Unlisten(ok, "click", on_ok);
    Unlisten(dialog, "close", *on_close);
    dialog.call<void>("remove");
    if (!focused.isNull() && !focused.isUndefined()) focused.call<void>("focus");
  });
  dialog.call<void>("showModal");
  ok.call<void>("focus");
}

void DeliverEvent(const std::function<void()>& procedure) {
  if (const std::optional<RuntimeError> error = RunEventProcedure(procedure)) {
    ShowRuntimeError(*error);
  }
}

// The page has no command line and no process to end: once the window is
// built, the page's own event loop runs it for as long as it is open.
// A window that fails after it was built is taken out of the page again, as
// is the window the page carries where the start fails before the build: the
// message alone stays, and no half-working window.
void Start(const Project& project) {
  std::unique_ptr<LoadedPage> page;
  try {
    const FormClass& form_class = StartupForm(project);
    ReadForm read = ReadFormClass(form_class);
    page = std::make_unique<LoadedPage>(LoadedPage{BuildPage(read.description), nullptr});
    page->module = form_class.create(*page->page.form);
    ConnectEvents(*page->page.form, *page->module,
                  [](const std::function<void()>& procedure) { DeliverEvent(procedure); });
    loaded = page.release();
  } catch (const std::exception& error) {
    RemoveWindow();  // whichever is in the page: none stays half-working
    const std::string message = project.application_name + ": " + error.what();
    val failure = Paragraph("failure", message);
    failure.call<void>("setAttribute", std::string("role"), std::string("alert"));
    Document()["body"].call<void>("appendChild", failure);
    val::global("console").call<void>("error", message);
  }
  emscripten_exit_with_live_runtime();
}

}  // namespace egn::runtime
