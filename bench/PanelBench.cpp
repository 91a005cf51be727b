// The panel's drawing cost: a full redraw of the offscreen image (what an opening or an
// expose costs), and one idle tick with nothing moving and with the meters moving.
#include "gui/FakePanelHost.h"
#include "gui/PanelView.h"

#include <benchmark/benchmark.h>

namespace {

using namespace moraine;

struct QuietPanel {
    testing::FakePanelHost host;
    gui::Moraine_VSTView view{host};
    QuietPanel() {
        for (int i = 0; i < 10; ++i) view.idle(); // settle: first paint, hover countdowns
    }
};

void panelFullRedraw(benchmark::State& state) {
    QuietPanel p;
    for (auto _ : state) {
        p.view.canvas().invalidateAll();
        benchmark::DoNotOptimize(p.view.canvas().redraw().size());
    }
}
BENCHMARK(panelFullRedraw)->Unit(benchmark::kMillisecond);

void panelIdleNothingMoving(benchmark::State& state) {
    QuietPanel p;
    for (auto _ : state) benchmark::DoNotOptimize(p.view.idle().size());
}
BENCHMARK(panelIdleNothingMoving)->Unit(benchmark::kMicrosecond);

void panelIdleMetersMoving(benchmark::State& state) {
    QuietPanel p;
    int tick = 0;
    for (auto _ : state) {
        // Both level meters, the CPU meter and the MIDI light change every tick.
        const float level = 0.01f * float(tick % 17);
        p.host.snap.meterLeft = level;
        p.host.snap.meterRight = level * 0.5f;
        p.host.snap.midiActivity = (tick & 1) ? 1.0f : 0.0f;
        ++tick;
        benchmark::DoNotOptimize(p.view.idle().size());
    }
}
BENCHMARK(panelIdleMetersMoving)->Unit(benchmark::kMicrosecond);

void panelSliderDrag(benchmark::State& state) {
    QuietPanel p;
    int y = 205;
    p.view.canvas().mouseDown(30, y, 0);
    for (auto _ : state) {
        y = y >= 270 ? 205 : y + 3;
        p.view.canvas().mouseMove(30, y, true, 0);
        benchmark::DoNotOptimize(p.view.idle().size());
    }
    p.view.canvas().mouseUp(30, y, 0);
}
BENCHMARK(panelSliderDrag)->Unit(benchmark::kMicrosecond);

} // namespace
