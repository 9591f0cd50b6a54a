// Cost of the forms runtime's two start-up steps for the real window:
// parsing its stored description, and building the window from the model
// (offscreen, not shown).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QWidget>

#include "runtime/forms/description_parser.h"
#include "runtime/qt/form_builder.h"
#include "window/main_form.h"

namespace {

std::string_view Description() { return egn::window::EmbeddedFiles().front().bytes; }

void BM_ParseDescription(benchmark::State& state) {
  const std::string_view text = Description();
  for (auto _ : state) benchmark::DoNotOptimize(egn::runtime::ParseDescription(text));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ParseDescription);

void BM_BuildWindow(benchmark::State& state) {
  const egn::runtime::ReadForm read = egn::runtime::ReadFormClass(egn::window::MainFormClass());
  for (auto _ : state) {
    egn::runtime::BuiltForm built = egn::runtime::BuildForm(read.description, read.icon);
    benchmark::DoNotOptimize(built.window.get());
  }
}
BENCHMARK(BM_BuildWindow)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  int qt_argc = 1;
  QApplication application(qt_argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
