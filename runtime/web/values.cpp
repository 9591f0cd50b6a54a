#include "runtime/web/values.h"

#include <emscripten/bind.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "runtime/web/css_number.h"

namespace egn::runtime {

using emscripten::val;

namespace {

// Every listener by its number; a removed one leaves an empty slot, whose
// number the next listener takes.
std::vector<Listener>& Listeners() {
  static std::vector<Listener> listeners;
  return listeners;
}
std::vector<int>& FreeNumbers() {
  static std::vector<int> numbers;
  return numbers;
}

// Called by the page's side of Listen for every event (see bridge.js). The
// listener runs as a copy, so that it may remove itself.
void Dispatch(int id, val event) {
  if (id >= 0 && static_cast<std::size_t>(id) < Listeners().size()) {
    const Listener listener = Listeners()[static_cast<std::size_t>(id)];
    if (listener) listener(event);
  }
}

}  // namespace

EMSCRIPTEN_BINDINGS(egn_runtime_web) { emscripten::function("egnDispatch", &Dispatch); }

val ToJs(std::u16string_view text) {
  const auto* units = reinterpret_cast<const std::uint16_t*>(text.data());
  return val::module_property("egnString")(val(emscripten::typed_memory_view(text.size(), units)));
}

std::u16string FromJs(const val& text) {
  const std::vector<std::uint16_t> units = emscripten::convertJSArrayToNumberVector<std::uint16_t>(
      val::module_property("egnUnits")(text));
  return std::u16string(units.begin(), units.end());
}

std::string TwipsToCss(int twips) { return CssNumber(twips / 15.0) + "px"; }

std::string ToCssColour(Colour colour) {
  return "rgb(" + std::to_string(colour & 0xFFu) + ", " + std::to_string((colour >> 8) & 0xFFu) +
         ", " + std::to_string((colour >> 16) & 0xFFu) + ")";
}

val Document() { return val::global("document"); }

val CreateElement(const char* tag) {
  return Document().call<val>("createElement", std::string(tag));
}

void SetStyle(const val& element, const char* property, const std::string& value) {
  element["style"].call<void>("setProperty", std::string(property), value);
}

namespace {
constexpr const char* kAnnouncerId = "egn-announcer";  // no control's name has a '-'
}  // namespace

val MakeAnnouncer() {
  val region = CreateElement("div");
  region.set("id", std::string(kAnnouncerId));
  region.set("className", std::string("announcer"));
  region.call<void>("setAttribute", std::string("role"), std::string("status"));
  region.call<void>("setAttribute", std::string("aria-live"), std::string("polite"));
  region.call<void>("setAttribute", std::string("aria-atomic"), std::string("true"));
  return region;
}

void Announce(std::u16string_view text) {
  val region = Document().call<val>("getElementById", std::string(kAnnouncerId));
  if (!region.isNull()) region.set("textContent", ToJs(text));
}

int Listen(const val& target, const char* type, Listener listener) {
  int id = static_cast<int>(Listeners().size());
  if (FreeNumbers().empty()) {
    Listeners().push_back(std::move(listener));
  } else {
    id = FreeNumbers().back();
    FreeNumbers().pop_back();
    Listeners()[static_cast<std::size_t>(id)] = std::move(listener);
  }
  val::module_property("egnListen")(target, std::string(type), id);
  return id;
}

void Unlisten(const val& target, const char* type, int id) {
  if (id < 0 || static_cast<std::size_t>(id) >= Listeners().size()) return;
  Listener& slot = Listeners()[static_cast<std::size_t>(id)];
  if (!slot) return;
  val::module_property("egnUnlisten")(target, std::string(type), id);
  slot = nullptr;
  FreeNumbers().push_back(id);
}

}  // namespace egn::runtime
