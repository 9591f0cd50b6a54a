// Cost of the forms runtime's two start-up steps for the real window:
// parsing its stored description, and building the window from the model
// (offscreen, not shown).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QWidget>

#include "runtime/description_parser.h"
#include "runtime/form_builder.h"

namespace {

QByteArray Description() {
  QFile file(":/egn-check/forms/MainForm.form");
  file.open(QIODevice::ReadOnly);
  return file.readAll();
}

void BM_ParseDescription(benchmark::State& state) {
  const QByteArray bytes = Description();
  const std::string_view text(bytes.constData(), static_cast<std::size_t>(bytes.size()));
  for (auto _ : state) benchmark::DoNotOptimize(egn::runtime::ParseDescription(text));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * bytes.size());
}
BENCHMARK(BM_ParseDescription);

void BM_BuildWindow(benchmark::State& state) {
  const QByteArray bytes = Description();
  const auto model = egn::runtime::ParseDescription(
      std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
  const auto images = [](const std::string& name) {
    return ":/egn-check/forms/" + QString::fromStdString(name);
  };
  for (auto _ : state) {
    egn::runtime::BuiltForm built = egn::runtime::BuildForm(model, images);
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
