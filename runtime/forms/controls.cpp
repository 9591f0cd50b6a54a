#include "runtime/forms/controls.h"

#include "runtime/core/error.h"

namespace egn::runtime {

Control::Control(ControlKind kind, std::string name) : kind_(kind), name_(std::move(name)) {}

Control::~Control() = default;

std::u16string Control::Text() const { RaisePropertyNotSupported(name_, "Text"); }

void Control::SetText(std::u16string_view) { RaisePropertyNotSupported(name_, "Text"); }

std::u16string Control::Caption() const { RaisePropertyNotSupported(name_, "Caption"); }

bool Control::ConnectClick(const std::function<void()>&) { return false; }

Control& ControlArray::operator()(std::int16_t index) const {
  const auto found = members_.find(index);
  if (found == members_.end()) RaiseIndexOutOfRange(name_, index);
  return *found->second;
}

std::vector<std::int16_t> ControlArray::Indices() const {
  std::vector<std::int16_t> indices;
  for (const auto& [index, control] : members_) indices.push_back(index);
  return indices;
}

const ControlArray* Form::FindArray(std::string_view name) const {
  const auto found = arrays_.find(name);
  return found == arrays_.end() ? nullptr : &found->second;
}

Control* Form::FindSingle(std::string_view name) const {
  const auto found = singles_.find(name);
  return found == singles_.end() ? nullptr : found->second;
}

const ControlArray& Form::Array(std::string_view name) const {
  const ControlArray* array = FindArray(name);
  if (array == nullptr) RaiseNoSuchControlArray(name);
  return *array;
}

Control& Form::Single(std::string_view name) const {
  Control* control = FindSingle(name);
  if (control == nullptr) RaiseNoSuchControlArray(name);
  return *control;
}

void Form::Adopt(std::unique_ptr<Control> control, std::optional<std::int16_t> index,
                 const std::string& name) {
  if (index) {
    arrays_.try_emplace(name, name).first->second.Add(*index, *control);
  } else {
    singles_[name] = control.get();
  }
  controls_.push_back(std::move(control));
}

}  // namespace egn::runtime
