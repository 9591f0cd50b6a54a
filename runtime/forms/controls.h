// Control access: what a window procedure may touch. A window yields a
// control array by name (or a single control), an array its member by a
// signed 16-bit index, a member its text (text boxes) or caption (labels,
// buttons). Every access is checked; a failure raises a RuntimeError. No
// widget toolkit shows through this header.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/forms/form_model.h"

namespace egn::runtime {

class Control {
 public:
  Control(ControlKind kind, std::string name);
  virtual ~Control();
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  ControlKind kind() const { return kind_; }
  // "Text2(3)" or "List1".
  const std::string& name() const { return name_; }

  // Each raises the property-not-supported error unless the kind has it.
  virtual std::u16string Text() const;
  virtual void SetText(std::u16string_view text);
  virtual std::u16string Caption() const;

  // Calls `handler` on every click; false when the kind has no click.
  virtual bool ConnectClick(const std::function<void()>& handler);

 private:
  ControlKind kind_;
  std::string name_;
};

// A control whose caption is fixed by its description and read back exactly
// as it was given (labels and buttons).
class CaptionedControl : public Control {
 public:
  explicit CaptionedControl(const ControlDescription& description)
      : Control(description.kind, description.DisplayName()), caption_(description.text) {}
  std::u16string Caption() const override { return caption_; }

 private:
  std::u16string caption_;
};

class ControlArray {
 public:
  explicit ControlArray(std::string name) : name_(std::move(name)) {}

  const std::string& name() const { return name_; }
  // Raises the index-out-of-range error when there is no such member.
  Control& operator()(std::int16_t index) const;
  // The members' indices in increasing order.
  std::vector<std::int16_t> Indices() const;

  void Add(std::int16_t index, Control& control) { members_[index] = &control; }

 private:
  std::string name_;
  std::map<std::int16_t, Control*> members_;
};

class Form {
 public:
  // Raise the no-such-control error when the window has none of that name
  // (a single control is no array, and an array no single control).
  const ControlArray& Array(std::string_view name) const;
  Control& Single(std::string_view name) const;
  // The same lookups without raising: nullptr when there is none.
  const ControlArray* FindArray(std::string_view name) const;
  Control* FindSingle(std::string_view name) const;

  // Takes the control into the window's ownership.
  void Adopt(std::unique_ptr<Control> control, std::optional<std::int16_t> index,
             const std::string& name);
  const std::vector<std::unique_ptr<Control>>& controls() const { return controls_; }

 private:
  std::vector<std::unique_ptr<Control>> controls_;
  std::map<std::string, ControlArray, std::less<>> arrays_;
  std::map<std::string, Control*, std::less<>> singles_;
};

}  // namespace egn::runtime
