// How long a drawing takes to become a figure: a 1000 x 1000 drawing of a figure with a body,
// a head and thin limbs, from its file to the checked mesh, masks and texture, and to the
// written folder. The goal is two seconds on one core.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <opencv2/core/utility.hpp>
#include <string>

#include "drawings.h"
#include "figure/make_figure.h"
#include "figure/slot_folder.h"

namespace {

void MakeFigure(benchmark::State& state) {
    cv::setNumThreads(1);
    char pattern[] = "/tmp/kelvaro-figure-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        state.SkipWithError("can't make a temporary folder");
        return;
    }
    const std::string folder = pattern;
    saveDrawing(folder + "/drawing.png", paintDrawing(1000, 1000, stickFigure(1000, 12)));
    FigureRequest request;
    request.picture = folder + "/drawing.png";
    request.bones = 8;
    const bool write = state.range(0) != 0;
    size_t vertices = 0;
    for (auto _ : state) {
        FigureResult figure;
        std::string error;
        if (!makeFigure(request, figure, error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        if (write && !writeSlotFolder({folder + "/kiv", "", true}, figure, error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        vertices = figure.mesh.vertices.size();
    }
    state.counters["vertices"] = double(vertices);
    std::filesystem::remove_all(folder);
}

}  // namespace

BENCHMARK(MakeFigure)->ArgName("write")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
