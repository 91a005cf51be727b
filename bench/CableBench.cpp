// The cost of one idle tick while a cord is dragged: the pointer moves as a hand does between
// two idle calls (about 25 pixels at 25 Hz), back and forth across the whole panel, and the
// tick redraws the cord's old and new area. With eight cords already hanging, and with one
// carried set of three plugs.
#include "gui/FakePanelHost.h"
#include "gui/PanelView.h"

#include <benchmark/benchmark.h>

#include <initializer_list>

namespace {

using namespace moraine;

struct PatchedPanel {
    testing::FakePanelHost host;
    gui::Moraine_VSTView view{host};
    explicit PatchedPanel(bool cords) {
        if (cords)
            // Sawtooth and pulse outputs into eight inputs along the top row.
            for (int i = 0; i < 8; ++i) host.hostSets(106 + i % 4 + (i / 4) * 11, float(57 + i));
        for (int i = 0; i < 10; ++i) view.idle();
    }
    // One pointer position of a sweep over the whole panel and back.
    static void sweep(int tick, int& x, int& y) {
        const int phase = tick % 80;
        const int t = phase < 40 ? phase : 80 - phase;
        x = 20 + t * 24;
        y = 60 + (t * 13) % 500;
    }
};

// `carried`: inputs patched from the dragged output beforehand, carried off with it.
void drag(benchmark::State& state, bool cords, int fromX, int fromY,
          std::initializer_list<int> carried = {}) {
    PatchedPanel p(cords);
    for (int in : carried) p.host.hostSets(in, 58.0f);
    if (carried.size() != 0)
        for (int i = 0; i < 3; ++i) p.view.idle();
    auto& canvas = p.view.canvas();
    canvas.mouseDown(fromX, fromY, 0);
    int tick = 0;
    for (auto _ : state) {
        int x, y;
        PatchedPanel::sweep(tick++, x, y);
        canvas.mouseMove(x, y, true, 0);
        benchmark::DoNotOptimize(p.view.idle().size());
    }
    canvas.mouseUp(5, 5, 0);
}

// A new cord from the first oscillator's sawtooth output.
void cordDragNewCord(benchmark::State& state) { drag(state, false, 237, 163); }
BENCHMARK(cordDragNewCord)->Unit(benchmark::kMicrosecond);

void cordDragAmongEightCords(benchmark::State& state) { drag(state, true, 237, 163); }
BENCHMARK(cordDragAmongEightCords)->Unit(benchmark::kMicrosecond);

// Three plugs carried off one output at once.
void cordDragThreeCarried(benchmark::State& state) {
    drag(state, false, 237, 163, {121, 122, 123});
}
BENCHMARK(cordDragThreeCarried)->Unit(benchmark::kMicrosecond);

} // namespace
