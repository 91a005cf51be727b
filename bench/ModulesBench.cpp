// Per-sample cost of the shared modules.
#include "engine/NoiseFamily.h"
#include "engine/Reverb.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

using namespace moraine;

void reverbSample(benchmark::State& state) {
    auto reverb = std::make_unique<ReverbModule>();
    reverb->setSampleRate(48000);
    reverb->leftLevel.setNow(0.5f);
    reverb->rightLevel.setNow(0.5f);
    float x = 1.0f;
    for (auto _ : state) {
        reverb->beginSample();
        reverb->addSend(x);
        x = -x;
        float l, r;
        reverb->processSample(l, r);
        benchmark::DoNotOptimize(l);
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(reverbSample);

void noiseSample(benchmark::State& state) {
    NoiseGenerator noise;
    noise.setSampleRate(48000);
    noise.levelRamp.setNow(5.0f);
    noise.colourRamp.setNow(0.5f);
    for (auto _ : state) {
        noise.invalidate();
        benchmark::DoNotOptimize(noise.output(0));
    }
}
BENCHMARK(noiseSample);

} // namespace
