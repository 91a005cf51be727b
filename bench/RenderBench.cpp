// Render cost of the whole instrument per voice and sample at 48 kHz, and how many times
// faster than real time one core renders it. The case with nine voices and everything
// open (every level, five cords with a feedback loop, noise, sample and hold, the reverb)
// is the heaviest load a patch can make.
#include "engine/graph/JackTable.h"
#include "plugin/MorainePlugin.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

using namespace moraine;

VstIntPtr host(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

constexpr int kBlock = 512;

// Every level parameter that opens a link, at its top.
constexpr int kLevelParams[] = {2,  3,  4,  7,  8,  9,  13, 14, 15, 16, 20, 21, 22, 26, 27, 28, 29,
                                30, 31, 32, 41, 42, 43, 44, 46, 47, 48, 49, 52, 53, 54, 56, 67, 72};

void cord(Moraine_VST& p, const char (&in)[5], const char (&out)[5]) {
    p.setParameter(kFirstJackParam - 1 + jackNumber(fourcc(in)),
                   float(jackNumber(fourcc(out))) / 1000.0f);
}

void renderVoices(benchmark::State& state) {
    const int voices = int(state.range(0));
    const bool open = state.range(1) != 0;
    auto plugin = std::make_unique<Moraine_VSTEdit>(&host);
    plugin->setSampleRate(48000.0f);
    plugin->setParameter(81, float(voices - 1) / 8.0f);
    if (open) {
        for (int index : kLevelParams) plugin->setParameter(index, 1.0f);
        cord(*plugin, "mlt1", "pl65");
        cord(*plugin, "pl12", "mlt2");
        cord(*plugin, "pl71", "pl68");
        cord(*plugin, "pl75", "pl56");
        cord(*plugin, "pl39", "pl43");
    }
    std::vector<float> in(kBlock, 0.01f), left(kBlock), right(kBlock);
    float* inputs[2] = {in.data(), in.data()};
    float* outputs[2] = {left.data(), right.data()};
    plugin->processReplacing(inputs, outputs, kBlock);
    for (int v = 0; v < voices; ++v) plugin->note(48 + 7 * v, 100);
    for (int i = 0; i < 20; ++i) plugin->processReplacing(inputs, outputs, kBlock);

    for (auto _ : state) {
        plugin->processReplacing(inputs, outputs, kBlock);
        benchmark::DoNotOptimize(left.data());
        benchmark::ClobberMemory();
    }
    const double voiceSamples = double(state.iterations()) * kBlock * voices;
    state.counters["ns_per_voice_sample"] =
        benchmark::Counter(voiceSamples, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["x_real_time"] = benchmark::Counter(
        double(state.iterations()) * kBlock / 48000.0, benchmark::Counter::kIsRate);
    state.SetLabel(open ? "everything open" : "defaults");
}

BENCHMARK(renderVoices)
    ->ArgNames({"voices", "open"})
    ->Args({1, 0})
    ->Args({9, 0})
    ->Args({1, 1})
    ->Args({9, 1})
    ->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
