// The window on an edited description, in which Label2(5) is another array:
// reading weight 5 then fails, and the run-time error reaches the default
// handling. Everything else is the real window.
#include <string>
#include <vector>

#include "runtime/forms/forms.h"
#include "window/main_form.h"

int main() {
  static std::vector<std::string> bytes;
  static std::vector<egn::runtime::EmbeddedFile> files;
  for (const egn::runtime::EmbeddedFile& file : egn::window::EmbeddedFiles()) {
    bytes.emplace_back(file.bytes);
  }
  const std::string from = "control label Label2(5)", to = "control label Weight(5)";
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (const std::size_t at = bytes[i].find(from); at != std::string::npos) {
      bytes[i].replace(at, from.size(), to);
    }
    files.push_back({egn::window::EmbeddedFiles()[i].name, bytes[i]});
  }
  egn::runtime::Project project = egn::window::Project();
  for (egn::runtime::FormClass& form : project.forms) form.files = files;
  egn::runtime::Start(project);
}
