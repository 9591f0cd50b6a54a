// Push buttons: pressed by a click, by Space and by Enter while focused (the
// browser's own button); never a form's default button, since the page has
// no form. In graphical style a solid face of their colour.
#include "runtime/web/control_makers.h"
#include "runtime/web/values.h"

namespace egn::runtime {

namespace {

class ButtonControl : public CaptionedControl {
 public:
  ButtonControl(const ControlDescription& d, PageObject button)
      : CaptionedControl(d), button_(std::move(button)) {}

  bool ConnectClick(const std::function<void()>& handler) override {
    Listen(button_, "click", [handler](const PageObject&) { handler(); });
    return true;
  }

 private:
  PageObject button_;
};

}  // namespace

WebControl MakeButton(const ControlDescription& d) {
  ControlDescription shown = d;
  if (d.style != ButtonStyle::kGraphical) shown.back_colour.reset();  // the platform's face
  const auto [button, carried] = MakeElement("button", "button", shown);
  if (!carried) {
    button.Set("type", "button");
    button.Set("textContent", d.text);
  }
  // Enter held down presses a button once, like a key of a desktop button.
  Listen(button, "keydown", [](const PageObject& event) {
    if (event.Text("key") == u"Enter" && event.Number("repeat") == 1) {
      event.Call("preventDefault");
    }
  });
  return {std::make_unique<ButtonControl>(d, button), button};
}

}  // namespace egn::runtime
