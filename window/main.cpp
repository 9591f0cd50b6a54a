// egn-check: hands the project to the runtime, which builds and shows the
// window, runs it until it is closed and ends the process.
#include "runtime/forms/forms.h"
#include "window/main_form.h"

int main() { egn::runtime::Start(egn::window::Project()); }
