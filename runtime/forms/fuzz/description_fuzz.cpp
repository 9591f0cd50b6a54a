// Any bytes as a window description: a model or a DescriptionError whose
// message names a line, and nothing else.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "runtime/forms/description_parser.h"
#include "runtime/forms/form_model.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  try {
    const egn::runtime::FormDescription model = egn::runtime::ParseDescription(bytes);
    if (egn::runtime::Dump(model).empty()) std::abort();
  } catch (const egn::runtime::DescriptionError& error) {
    if (std::string_view(error.what()).substr(0, 5) != "line " || error.line() < 1) std::abort();
  }
  return 0;
}
