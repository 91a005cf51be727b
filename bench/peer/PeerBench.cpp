// Measures the CPU time one VST 2 instrument spends rendering a fixed performance, so that
// two instruments can be compared on the same notes, rate and block size:
//   moraine-peer-bench PLUGIN.so --pattern single|chords|idle [--seconds S]
//                      [--factory NAME] [--voices N]
// idle plays no note at all: what an instance costs while it waits.
// --factory hands the named patch of our own library to the plug-in as its state chunk;
// --voices sets our "Voices" parameter. Prints the CPU seconds of the render calls alone.
#include "platform/Resources.h"
#include "tools/host/VstHost.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// The text of one patch of the library the plug-in carries, or empty.
std::string factoryPatch(const std::string& name) {
    const std::string_view dump = moraine::findResource("defaultLibrary");
    const std::string start = "\nStart Patch: " + name + "\n";
    const std::string end = "\nEnd Patch: " + name + "\n";
    const size_t a = dump.find(start);
    if (a == std::string_view::npos) return {};
    const size_t body = a + start.size();
    const size_t b = dump.find(end, body);
    if (b == std::string_view::npos) return {};
    return std::string(dump.substr(body, b + 1 - body));
}

int usage() {
    std::fprintf(stderr, "usage: moraine-peer-bench PLUGIN.so --pattern single|chords|idle "
                         "[--seconds S] [--factory NAME] [--voices N]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    const std::string path = argv[1];
    std::string pattern = "single", factory;
    double seconds = 20.0;
    int voices = 0;
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        if (i + 1 >= argc) return usage();
        const char* v = argv[++i];
        if (a == "--pattern")
            pattern = v;
        else if (a == "--seconds")
            seconds = std::atof(v);
        else if (a == "--factory")
            factory = v;
        else if (a == "--voices")
            voices = std::atoi(v);
        else
            return usage();
    }
    if ((pattern != "single" && pattern != "chords" && pattern != "idle") || !(seconds > 0.0) ||
        seconds > 3600.0)
        return usage();

    moraine::HostConfig config;
    config.sampleRate = 48000.0f;
    config.blockSize = 512;
    std::string error;
    auto plugin = moraine::PluginInstance::load(path, &error, config);
    if (!plugin) {
        std::fprintf(stderr, "moraine-peer-bench: %s\n", error.c_str());
        return 2;
    }
    plugin->start();
    if (!factory.empty()) {
        const std::string text = factoryPatch(factory);
        if (text.empty()) {
            std::fprintf(stderr, "moraine-peer-bench: no factory patch '%s'\n", factory.c_str());
            return 2;
        }
        plugin->setChunk(text);
    }
    // "Voices" holds the extra voice count, 0..8, as a host value n / 8.
    if (voices > 0) plugin->setParameter(81, float(voices - 1) / 8.0f);

    const int rate = 48000, block = 512;
    const long total = long(seconds * rate);
    const std::vector<int> keys = pattern == "single" ? std::vector<int>{60}
                                  : pattern == "chords"
                                      ? std::vector<int>{48, 52, 55, 59, 60, 64, 67, 71}
                                      : std::vector<int>{};
    const long period = 2 * rate, held = long(1.8 * rate);
    std::vector<float> left(static_cast<size_t>(block)), right(static_cast<size_t>(block));
    float* outputs[2] = {left.data(), right.data()};
    double peak = 0.0, spent = 0.0;
    for (long at = 0; at < total; at += block) {
        const int n = int(std::min<long>(block, total - at));
        // Notes that fall inside this block, at their frame.
        for (long t = at; t < at + n; ++t) {
            if (t % period == 0)
                for (int k : keys) plugin->queueMidi(int(t - at), 0x90, uint8_t(k), 100);
            if (t % period == held)
                for (int k : keys) plugin->queueMidi(int(t - at), 0x80, uint8_t(k), 0);
        }
        const double before = cpuSeconds();
        plugin->process(nullptr, outputs, n);
        spent += cpuSeconds() - before;
        for (int i = 0; i < n; ++i)
            peak = std::max(
                peak, double(std::max(std::fabs(left[size_t(i)]), std::fabs(right[size_t(i)]))));
    }
    std::printf("%.4f cpu seconds for %.1f s of audio (peak %.3f)\n", spent, seconds, peak);
    // A silent render measured nothing worth comparing, unless silence was asked for.
    return peak > 0.0 || keys.empty() ? 0 : 1;
}
