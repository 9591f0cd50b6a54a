#include "runtime/web/values.h"

#include "runtime/web/css_number.h"

namespace egn::runtime {

std::string TwipsToCss(int twips) { return CssNumber(twips / 15.0) + "px"; }

std::string ToCssColour(Colour colour) {
  return "rgb(" + std::to_string(colour & 0xFFu) + ", " + std::to_string((colour >> 8) & 0xFFu) +
         ", " + std::to_string((colour >> 16) & 0xFFu) + ")";
}

PageObject Document() { return PageObject::Global("document"); }

PageObject CreateElement(const char* tag) {
  return Document().Call("createElement", std::string(tag));
}

PageObject ElementById(const std::string& id) { return Document().Call("getElementById", id); }

namespace {
constexpr const char* kAnnouncerId = "egn-announcer";  // no control's name has a '-'
}  // namespace

PageObject MakeAnnouncer() {
  PageObject region = ElementById(kAnnouncerId);
  if (!region.IsNone()) return region;
  region = CreateElement("div");
  region.Set("id", kAnnouncerId);
  region.Set("className", "announcer");
  region.SetAttribute("role", "status");
  region.SetAttribute("aria-live", "polite");
  region.SetAttribute("aria-atomic", "true");
  return region;
}

void Announce(std::u16string_view text) {
  const PageObject region = ElementById(kAnnouncerId);
  if (!region.IsNone()) region.Set("textContent", text);
}

}  // namespace egn::runtime
