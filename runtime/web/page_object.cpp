#include "runtime/web/page_object.h"

#include <emscripten/emscripten.h>

#include <cstddef>
#include <utility>
#include <vector>

// The page's side of each import is in bridge.js, under the same name.
extern "C" {
std::int32_t egn_get(std::int32_t object, const char* property);
std::size_t egn_text(std::int32_t object, const char* property);
double egn_number(std::int32_t object, const char* property);
void egn_set_text(std::int32_t object, const char* property, const char16_t* units,
                  std::size_t count);
void egn_set_string(std::int32_t object, const char* property, const char* utf8, std::size_t count);
void egn_set_number(std::int32_t object, const char* property, double value);
void egn_set_flag(std::int32_t object, const char* property, int value);
void egn_set_attribute(std::int32_t object, const char* name, const char* utf8, std::size_t count);
void egn_set_style(std::int32_t object, const char* property, const char* utf8, std::size_t count);
std::int32_t egn_call(std::int32_t object, const char* method, std::int32_t argument);
std::int32_t egn_call_string(std::int32_t object, const char* method, const char* utf8,
                             std::size_t count);
void egn_call_numbers(std::int32_t object, const char* method, double a, double b);
int egn_same(std::int32_t a, std::int32_t b);
void egn_release(std::int32_t object);
void egn_listen(std::int32_t target, const char* type, int id);
void egn_unlisten(std::int32_t target, const char* type, int id);
void egn_later(int id);
}

namespace egn::runtime {

namespace {

// The page's global object is handle 1, for as long as the page is open;
// 0 is none.
constexpr std::int32_t kGlobal = 1;

}  // namespace

std::u16string& Units() {
  static std::u16string units;
  return units;
}

// Holds the page's object for as long as a PageObject refers to it.
class PageObject::Handle {
 public:
  explicit Handle(std::int32_t id) : id_(id) {}
  ~Handle() {
    if (id_ != kGlobal) egn_release(id_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  std::int32_t id() const { return id_; }

 private:
  std::int32_t id_;
};

PageObject::PageObject(std::int32_t handle) {
  if (handle != 0) handle_ = std::make_shared<const Handle>(handle);
}

std::int32_t PageObject::handle() const { return handle_ ? handle_->id() : 0; }

PageObject PageObject::Global() {
  static const PageObject global(kGlobal);
  return global;
}

bool PageObject::Is(const PageObject& other) const {
  return egn_same(handle(), other.handle()) != 0;
}

PageObject PageObject::Get(const char* property) const {
  return PageObject(egn_get(handle(), property));
}

std::u16string PageObject::Text(const char* property) const {
  const std::size_t count = egn_text(handle(), property);
  return Units().substr(0, count);
}

double PageObject::Number(const char* property) const { return egn_number(handle(), property); }

void PageObject::Set(const char* property, std::u16string_view text) const {
  egn_set_text(handle(), property, text.data(), text.size());
}

void PageObject::Set(const char* property, const std::string& utf8) const {
  egn_set_string(handle(), property, utf8.data(), utf8.size());
}

void PageObject::SetNumber(const char* property, double value) const {
  egn_set_number(handle(), property, value);
}

void PageObject::SetFlag(const char* property, bool value) const {
  egn_set_flag(handle(), property, value ? 1 : 0);
}

void PageObject::SetAttribute(const char* name, const std::string& utf8) const {
  egn_set_attribute(handle(), name, utf8.data(), utf8.size());
}

void PageObject::SetStyle(const char* property, const std::string& utf8) const {
  egn_set_style(handle(), property, utf8.data(), utf8.size());
}

PageObject PageObject::Call(const char* method) const {
  return PageObject(egn_call(handle(), method, 0));
}

PageObject PageObject::Call(const char* method, const PageObject& argument) const {
  return PageObject(egn_call(handle(), method, argument.handle()));
}

PageObject PageObject::Call(const char* method, const std::string& utf8) const {
  return PageObject(egn_call_string(handle(), method, utf8.data(), utf8.size()));
}

void PageObject::Call(const char* method, double a, double b) const {
  egn_call_numbers(handle(), method, a, b);
}

struct PageObjectAccess {
  static PageObject Make(std::int32_t handle) { return PageObject(handle); }
  static std::int32_t Id(const PageObject& object) { return object.handle(); }
};

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

}  // namespace

namespace {

int Keep(Listener listener) {
  int id = static_cast<int>(Listeners().size());
  if (FreeNumbers().empty()) {
    Listeners().push_back(std::move(listener));
  } else {
    id = FreeNumbers().back();
    FreeNumbers().pop_back();
    Listeners()[static_cast<std::size_t>(id)] = std::move(listener);
  }
  return id;
}

void Forget(int id) {
  Listeners()[static_cast<std::size_t>(id)] = nullptr;
  FreeNumbers().push_back(id);
}

}  // namespace

int Listen(const PageObject& target, const char* type, Listener listener) {
  const int id = Keep(std::move(listener));
  egn_listen(PageObjectAccess::Id(target), type, id);
  return id;
}

void Later(std::function<void()> step) {
  auto id = std::make_shared<int>(-1);
  *id = Keep([step = std::move(step), id](const PageObject&) {
    Forget(*id);
    step();
  });
  egn_later(*id);
}

void Unlisten(const PageObject& target, const char* type, int id) {
  if (id < 0 || static_cast<std::size_t>(id) >= Listeners().size()) return;
  Listener& slot = Listeners()[static_cast<std::size_t>(id)];
  if (!slot) return;
  egn_unlisten(PageObjectAccess::Id(target), type, id);
  Forget(id);
}

}  // namespace egn::runtime

// The module's exports that bridge.js calls.
extern "C" {

// A buffer of `count` UTF-16 code units, for the page to write a text into.
EMSCRIPTEN_KEEPALIVE char16_t* egn_units(std::size_t count) {
  egn::runtime::Units().resize(count);
  return egn::runtime::Units().data();
}

// An event for listener `id` (see Listen): the event object comes as a
// handle, held from then on as every other. The listener runs as a copy, so
// that it may remove itself.
EMSCRIPTEN_KEEPALIVE void egn_dispatch(int id, std::int32_t event) {
  using egn::runtime::Listeners;
  if (id < 0 || static_cast<std::size_t>(id) >= Listeners().size()) return;
  const egn::runtime::Listener listener = Listeners()[static_cast<std::size_t>(id)];
  if (listener) listener(egn::runtime::PageObjectAccess::Make(event));
}

}  // extern "C"
