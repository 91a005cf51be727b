// Cost of one voice's filter per sample at 48 kHz: the step that takes over panel
// changes, the two saturating sub-steps and the dither draw. "Swept" also moves the
// control sum every sample, so each sample recomputes the exponential coefficient.
#include "engine/Filter.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstddef>
#include <vector>

namespace {

using namespace moraine;

constexpr int kBlock = 4096;

std::vector<float> testInput() {
    // A 0..10 V sawtooth near 110 Hz with a little noise, like a patched oscillator.
    std::vector<float> in(kBlock);
    unsigned noise = 1;
    for (int i = 0; i < kBlock; ++i) {
        noise = noise * 1664525u + 1013904223u;
        in[std::size_t(i)] = 10.0f * std::fmod(float(i) * 110.0f / 48000.0f, 1.0f) +
                             float(noise >> 8) * (0.1f / 16777216.0f);
    }
    return in;
}

void filterPerSample(benchmark::State& state) {
    const bool swept = state.range(0) != 0;
    VcfModule vcf(48000);
    vcf.setCoarse(5.0f);
    vcf.setFine(0.5f);
    vcf.setResonance(0.8f);
    const std::vector<float> in = testInput();
    std::vector<float> sweep(kBlock);
    for (int i = 0; i < kBlock; ++i) sweep[std::size_t(i)] = 3.0f * std::sin(float(i) * 0.01f);

    for (auto _ : state) {
        for (int i = 0; i < kBlock; ++i) {
            vcf.stepPending();
            if (swept) vcf.setControl(sweep[std::size_t(i)]);
            benchmark::DoNotOptimize(vcf.process(in[std::size_t(i)]));
        }
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
    // Seconds per sample, shown with its SI prefix (16n = 16 ns).
    state.counters["per_sample"] =
        benchmark::Counter(double(kBlock), benchmark::Counter::kIsIterationInvariantRate |
                                               benchmark::Counter::kInvert);
}
BENCHMARK(filterPerSample)->ArgName("swept")->Arg(0)->Arg(1);

} // namespace
