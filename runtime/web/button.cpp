// Push buttons: pressed by a click, by Space and by Enter while focused (the
// browser's own button); never a form's default button, since the page has
// no form. In graphical style a solid face of their colour.
#include "runtime/web/control_makers.h"
#include "runtime/web/values.h"

namespace egn::runtime {

namespace {

class ButtonControl : public CaptionedControl {
 public:
  ButtonControl(const ControlDescription& d, emscripten::val button)
      : CaptionedControl(d), button_(std::move(button)) {}

  bool ConnectClick(const std::function<void()>& handler) override {
    Listen(button_, "click", [handler](const emscripten::val&) { handler(); });
    return true;
  }

 private:
  emscripten::val button_;
};

}  // namespace

WebControl MakeButton(const ControlDescription& d) {
  ControlDescription shown = d;
  if (d.style != ButtonStyle::kGraphical) shown.back_colour.reset();  // the platform's face
  emscripten::val button = MakeElement("button", "button", shown);
  button.set("type", std::string("button"));
  button.set("textContent", ToJs(d.text));
  // Enter held down presses a button once, like a key of a desktop button.
  Listen(button, "keydown", [](const emscripten::val& event) {
    if (event["key"].as<std::string>() == "Enter" && event["repeat"].as<bool>()) {
      event.call<void>("preventDefault");
    }
  });
  return {std::make_unique<ButtonControl>(d, button), button};
}

}  // namespace egn::runtime
