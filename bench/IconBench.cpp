// Benchmarks of the icon reader on the largest real files: count, and extract + render.
#include "IconApi.h"
#include "quorvane/icons/Drawing.h"
#include "quorvane/icons/IconReader.h"
#include "quorvane/icons/Scaling.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

using namespace quorvane::icons;

const std::string kWine = "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/";
const std::vector<std::string> kFiles = {kWine + "shell32.dll", kWine + "comctl32.dll",
                                         kWine + "user32.dll",
                                         "/usr/share/nsis/Stubs/zlib-x86-unicode"};

void countIconsBench(benchmark::State& state) {
    const std::string& path = kFiles[static_cast<std::size_t>(state.range(0))];
    state.SetLabel(path.substr(path.rfind('/') + 1));
    for (auto _ : state)
        benchmark::DoNotOptimize(ExtractIconA(HINSTANCE{1}, path, -1).value());
}
BENCHMARK(countIconsBench)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);

// Every icon of the file, extracted and drawn at (2, 2) on a 35x35 surface; time per icon.
void extractAndRenderEveryIcon(benchmark::State& state) {
    const std::string& path = kFiles[static_cast<std::size_t>(state.range(0))];
    state.SetLabel(path.substr(path.rfind('/') + 1));
    const std::int32_t count =
        static_cast<std::int32_t>(ExtractIconA(HINSTANCE{1}, path, -1).value());
    std::vector<std::uint32_t> pixels(35 * 35);
    for (auto _ : state) {
        for (std::int32_t i = 0; i < count; ++i) {
            HICON icon = ExtractIconA(HINSTANCE{1}, path, i);
            benchmark::DoNotOptimize(DrawIcon(HDC{Surface{pixels.data(), 35, 35, 35}}, 2, 2, icon));
        }
    }
    state.counters["per_icon"] = benchmark::Counter(static_cast<double>(count),
                                                    benchmark::Counter::kIsIterationInvariantRate |
                                                        benchmark::Counter::kInvert);
}
BENCHMARK(extractAndRenderEveryIcon)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

// The 256x256 PNG image of shell32's first group, read from the file, decoded, scaled to 32x32
// and drawn: the most expensive single icon a file can ask for.
void pngIconFromFile(benchmark::State& state) {
    const std::string path = kFiles[0];
    std::vector<std::uint32_t> pixels(35 * 35);
    for (auto _ : state) {
        auto source = FileSource::open(path);
        auto file = IconFile::open(**source);
        auto group = file->group(0);
        IconDirEntry png;
        for (const auto& e : group->entries)
            if (e.width() == 256)
                png = e;
        auto bytes = file->imageBytes(png);
        auto bitmap = decodeImage(*bytes);
        auto icon = *scaleTo(*bitmap, kIconSize, kIconSize);
        drawIconBitmap(Surface{pixels.data(), 35, 35, 35}, 2, 2, icon);
        benchmark::DoNotOptimize(pixels.data());
    }
}
BENCHMARK(pngIconFromFile)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
