#include "window/main_form.h"

#include "calc/check_digit.h"
#include "runtime/core/conversions.h"

namespace egn::window {

void MainForm::Command1_Click(std::int16_t Index) {
  switch (Index) {
    case 0:
      CalculateCheckDigit();
      break;
    case 1:
      ClearEntries();
      form_.Array("Text1")(0).SetText(u"");
      break;
    default:
      break;
  }
}

// Reads each digit box and then the weight under it, computes, and writes
// the two result lines and the digit. A run-time error leaves at once: what
// was written before it stays, and Sum keeps its earlier value.
void MainForm::CalculateCheckDigit() {
  calc::PositionTexts digits;
  calc::PositionTexts weights;
  for (std::int16_t i = 0; i < static_cast<std::int16_t>(calc::kPositions); ++i) {
    digits[static_cast<std::size_t>(i)] = form_.Array("Text2")(i).Text();
    weights[static_cast<std::size_t>(i)] = form_.Array("Label2")(i).Caption();
  }
  const calc::CheckDigitResult result = calc::ComputeCheckDigit(digits, weights);
  Sum = result.sum;

  runtime::Control& results = form_.Array("Text1")(0);
  results.SetText(result.sum_line);
  results.SetText(runtime::Concat(results.Text(), result.digit_line));
  form_.Array("Text2")(9).SetText(result.digit_text);
}

void MainForm::ClearEntries() {
  for (std::int16_t i = 0; i <= 9; ++i) form_.Array("Text2")(i).SetText(u"");
  Sum = 0;
}

std::vector<runtime::EventBinding> MainForm::Events() {
  return {{"Command1", "Click", [this](std::int16_t index) { Command1_Click(index); }}};
}

runtime::FormClass MainFormClass() {
  return {"MainForm", ":/egn-check/forms/MainForm.form",
          [](runtime::Form& form) { return std::make_unique<MainForm>(form); }, EmbeddedFiles()};
}

runtime::Project Project() {
  return {"MainForm", {MainFormClass()}, "egn-check", EGN_VERSION_TEXT, EGN_APP_ID};
}

}  // namespace egn::window
