// The program's only window: its state and its three procedures.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "runtime/forms/controls.h"
#include "runtime/forms/forms.h"

namespace egn::window {

class MainForm : public runtime::FormModule {
 public:
  explicit MainForm(runtime::Form& form) : form_(form) {}

  // Click on a member of the button array Command1: 0 is "Изчисли", 1 is
  // "Изчисти"; any other index does nothing.
  void Command1_Click(std::int16_t Index);

  std::vector<runtime::EventBinding> Events() override;

  // The last calculation's weighted sum; 0 at start and after "Изчисти".
  // Nothing reads it back: every calculation starts from 0.
  std::int16_t Sum = 0;

 private:
  void CalculateCheckDigit();
  void ClearEntries();

  runtime::Form& form_;
};

// The window's class: its description (embedded) and its code.
runtime::FormClass MainFormClass();

// The files compiled into the program: the description
// ":/egn-check/forms/MainForm.form" and the icon it names,
// ":/egn-check/forms/egn-check.xpm".
std::span<const runtime::EmbeddedFile> EmbeddedFiles();

// The project: MainForm is the start-up object; there is no start-up
// procedure.
runtime::Project Project();

}  // namespace egn::window
