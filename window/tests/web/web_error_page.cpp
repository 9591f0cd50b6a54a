// The window on an edited description: every occurrence of EGN_EDIT_FROM
// becomes EGN_EDIT_TO (both set by the build), and everything else is the
// real window.
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
  const std::string from = EGN_EDIT_FROM, to = EGN_EDIT_TO;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    for (std::size_t at = bytes[i].find(from); at != std::string::npos;
         at = bytes[i].find(from, at + to.size())) {
      bytes[i].replace(at, from.size(), to);
    }
    files.push_back({egn::window::EmbeddedFiles()[i].name, bytes[i]});
  }
  egn::runtime::Project project = egn::window::Project();
  for (egn::runtime::FormClass& form : project.forms) form.files = files;
  egn::runtime::Start(project);
}
