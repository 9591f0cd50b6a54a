// The web backend's one way into the page: a handle on an object of the
// page's script (an element, the document, an event), over a few plain
// imports of the module (bridge.js) and exports of its own. Texts the user
// types or the program writes cross as UTF-16 code units, unchanged (half a
// surrogate pair and CR LF included); names, classes and styles as UTF-8.
// A name (of a property, a method, an attribute, an event type) is one of the
// program's constant texts, a string literal: the page reads each once and
// knows it by its address from then on.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace egn::runtime {

class PageObject {
 public:
  // None: what the page gives for null or undefined.
  PageObject() = default;

  // The page's global object (`window`), and one of its properties.
  static PageObject Global();
  static PageObject Global(const char* name) { return Global().Get(name); }

  bool IsNone() const { return handle_ == nullptr; }
  // Whether both are the same object of the page.
  bool Is(const PageObject& other) const;

  // A property read as an object (none for null or undefined), as a text
  // (String(value)), as a number (Number(value); true is 1).
  PageObject Get(const char* property) const;
  std::u16string Text(const char* property) const;
  double Number(const char* property) const;

  void Set(const char* property, std::u16string_view text) const;
  void Set(const char* property, const std::string& utf8) const;
  void Set(const char* property, const char* utf8) const { Set(property, std::string(utf8)); }
  void SetNumber(const char* property, double value) const;
  void SetFlag(const char* property, bool value) const;
  void SetAttribute(const char* name, const std::string& utf8) const;
  // One property of the object's style (CSS name).
  void SetStyle(const char* property, const std::string& utf8) const;

  // method(), method(object), method(text), method(a, b); the result as an
  // object where there is one.
  PageObject Call(const char* method) const;
  PageObject Call(const char* method, const PageObject& argument) const;
  PageObject Call(const char* method, const std::string& utf8) const;
  void Call(const char* method, double a, double b) const;

 private:
  class Handle;
  explicit PageObject(std::int32_t handle);
  std::int32_t handle() const;

  std::shared_ptr<const Handle> handle_;

  friend struct PageObjectAccess;  // the bridge's exports, in page_object.cpp
};

// Calls `listener` for every event of `type` at `target`, on the page's one
// thread, with the page's own event object. Returns the listener's number,
// by which Unlisten removes it (and frees what it holds); a listener may
// remove itself while it runs.
using Listener = std::function<void(const PageObject& event)>;
int Listen(const PageObject& target, const char* type, Listener listener);
void Unlisten(const PageObject& target, const char* type, int id);

// Runs `step` once, in a task of its own after the page's current one (the
// page's setTimeout), so that long work goes in short steps.
void Later(std::function<void()> step);

// Where texts cross from the page: the page writes UTF-16 code units here
// (through the module's export egn_units) before the module reads them.
std::u16string& Units();

}  // namespace egn::runtime
