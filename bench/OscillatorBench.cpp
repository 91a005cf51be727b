// Cost of one oscillator per sample at 48 kHz: every output read (the second oscillator,
// with its triangle), only the sawtooth, and every output while the pitch moves each
// sample (an envelope or another oscillator on the control input).
#include "engine/Oscillator.h"

#include <benchmark/benchmark.h>

#include <cmath>

namespace {

using moraine::VcoModule;

constexpr int kBlock = 512;

void setCounters(benchmark::State& state) {
    state.counters["ns_per_sample"] =
        benchmark::Counter(double(state.iterations()) * kBlock,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void oscillatorAllOutputs(benchmark::State& state) {
    VcoModule vco(2, 0.0f, 1, 48000, nullptr);
    vco.setControl(std::log2(float(state.range(0)) / 10.0f));
    vco.setPanelPulseWidth(0.3f);
    for (auto _ : state) {
        float sum = 0.0f;
        for (int i = 0; i < kBlock; ++i) {
            vco.step();
            sum += vco.output(VcoModule::kSine) + vco.output(VcoModule::kSaw) +
                   vco.output(VcoModule::kPulse) + vco.output(VcoModule::kTriangle);
        }
        benchmark::DoNotOptimize(sum);
    }
    setCounters(state);
}
BENCHMARK(oscillatorAllOutputs)->Arg(440)->Arg(5000);

void oscillatorSawOnly(benchmark::State& state) {
    VcoModule vco(1, 0.0f, 1, 48000, nullptr);
    vco.setControl(std::log2(float(state.range(0)) / 10.0f));
    for (auto _ : state) {
        float sum = 0.0f;
        for (int i = 0; i < kBlock; ++i) {
            vco.step();
            sum += vco.output(VcoModule::kSaw);
        }
        benchmark::DoNotOptimize(sum);
    }
    setCounters(state);
}
BENCHMARK(oscillatorSawOnly)->Arg(440)->Arg(5000);

void oscillatorAllOutputsMovingPitch(benchmark::State& state) {
    VcoModule vco(2, 0.0f, 1, 48000, nullptr);
    vco.setPanelPulseWidth(0.3f);
    float volts = 5.0f;
    for (auto _ : state) {
        float sum = 0.0f;
        for (int i = 0; i < kBlock; ++i) {
            volts = volts < 8.0f ? volts + 0.0001f : 5.0f;
            vco.setControl(volts);
            vco.step();
            sum += vco.output(VcoModule::kSine) + vco.output(VcoModule::kSaw) +
                   vco.output(VcoModule::kPulse) + vco.output(VcoModule::kTriangle);
        }
        benchmark::DoNotOptimize(sum);
    }
    setCounters(state);
}
BENCHMARK(oscillatorAllOutputsMovingPitch);

} // namespace
