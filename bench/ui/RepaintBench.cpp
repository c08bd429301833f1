// Repainting a round colour button whose glyph image is already cached.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>

#include "ui/ColorBtns.h"
#include "ui/Resources.h"

namespace {

void BM_EllipseRepaint(benchmark::State& state) {
    pavana::TColor95Button button;
    button.resize(30, 30);
    button.SetStyle(pavana::bsEllipse);
    button.SetColor(pavana::clBtnFace);
    button.SetGlyph(pavana::LoadBitmapResource("YES"));
    QImage target(30, 30, QImage::Format_ARGB32_Premultiplied);
    button.render(&target);
    const long before = pavana::TButtonGlyph::BuiltImages();
    for (auto _ : state) {
        button.render(&target);
        benchmark::DoNotOptimize(target.constBits());
    }
    state.counters["images_rebuilt"] = double(pavana::TButtonGlyph::BuiltImages() - before);
}
BENCHMARK(BM_EllipseRepaint)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
