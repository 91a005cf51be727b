// The sound of every factory patch and of a torture patch, pinned: each render of a fixed
// phrase (chords at several velocities, the mod wheel, pitch bend) through the built
// plug-in must give, bit for bit, the render whose digest is kept in
// plugin/reference/RenderDigests.txt. Work on the engine's speed must not change what it plays.
//
// Each render loads its own copy of the plug-in from a temporary data folder: the noise
// and the filter's dither draw from one sequence per loaded library, and a fresh copy
// starts it where a fresh process would.
//
// MORAINE_WRITE_REFERENCES=FILE writes the digests of this build to FILE instead of
// comparing; MORAINE_REFERENCE_PLUGIN=PATH renders another build of the plug-in.
#include "PluginTestSupport.h"
#include "support/TempDataFolder.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace moraine {
namespace {

constexpr int kRate = 48000;
constexpr int kBlock = 512;
constexpr double kSeconds = 2.5;
const char* const kTorture = "torture";

struct Event {
    long frame;
    uint8_t status, data1, data2;
};

long at(double seconds) {
    return long(seconds * kRate);
}

// Two chords with different velocities, the mod wheel swept up and back, pitch bend up,
// down and home, and a tail after the last release.
std::vector<Event> phrase() {
    std::vector<Event> e;
    const uint8_t first[] = {60, 64, 67}, firstVel[] = {100, 70, 120};
    for (int i = 0; i < 3; ++i) e.push_back({at(0.0), 0x90, first[i], firstVel[i]});
    for (int step = 0; step <= 16; ++step) { // mod wheel 0 -> 127 -> 0
        const int value = step <= 8 ? step * 127 / 8 : (16 - step) * 127 / 8;
        e.push_back({at(0.2 + 0.075 * step), 0xB0, 1, uint8_t(value)});
    }
    e.push_back({at(0.6), 0xE0, 0x00, 0x60}); // bend up
    e.push_back({at(0.9), 0xE0, 0x00, 0x20}); // down
    e.push_back({at(1.1), 0xE0, 0x00, 0x40}); // home
    for (uint8_t k : first) e.push_back({at(1.0), 0x80, k, 0});
    const uint8_t second[] = {55, 62, 65, 71}, secondVel[] = {40, 90, 127, 64};
    for (int i = 0; i < 4; ++i) e.push_back({at(1.0) + 7, 0x90, second[i], secondVel[i]});
    for (uint8_t k : second) e.push_back({at(1.8), 0x80, k, 0});
    return e;
}

// Everything at once: nine voices, every level open, noise into all three oscillators,
// the ring modulator, sample and hold, the electronic switch, a feedback cord, the lag
// processor on itself, the direct inputs and the reverb.
void torture(testing::SoHost& h) {
    const int levels[] = {2,  3,  4,  7,  8,  9,  13, 14, 15, 16, 20, 21, 22, 26, 27, 28, 29,
                          30, 31, 32, 41, 42, 43, 44, 46, 47, 48, 49, 52, 53, 54, 56, 67, 72};
    for (int index : levels) h.set(index, 1.0f);
    // In engine units; 60 at 0 puts the third oscillator in its low range.
    for (auto [index, engine] : {std::pair{81, 8.0f}, {40, 2.0f}, {25, 0.9f}, {50, 0.3f},
                                 {57, 0.05f}, {5, 0.3f}, {60, 0.0f}})
        h.set(index, engineToHost(index, engine));
    h.cord("plg4", "pl35"); // noise into the first oscillator's S/H input
    h.cord("plg9", "pl35"); // and the second's
    h.cord("mlt1", "pl65"); // the filter onto the multiple
    h.cord("pl12", "mlt2"); // the multiple into the pulse width
    h.cord("pl11", "pl68"); // the amplifier back into an oscillator
    h.cord("pl71", "pl68"); // the amplifier to the left direct input
    h.cord("pl75", "pl56"); // the ring modulator to the right one
    h.cord("pl39", "pl43"); // the lag processor on its own output
    h.cord("pl50", "pl47"); // sample and hold into switch A
    h.cord("pl52", "pl64"); // the third oscillator's saw into switch B
    h.cord("pl25", "pl51"); // switch C into the filter's CV
}

struct Render {
    uint64_t digest = 0;
    double rms[2] = {0.0, 0.0};
};

// FNV-1a over the bits of every sample of both channels, frame by frame.
void addToDigest(uint64_t& h, float x) {
    uint32_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    for (int i = 0; i < 4; ++i) {
        h ^= (bits >> (8 * i)) & 0xFFu;
        h *= 0x100000001B3ull;
    }
}

Render render(const std::string& name) {
    testing::TempDataFolder folder; // empty: the plug-in builds its library there
    // A copy of its own: a fresh library, and with it a fresh random sequence.
    const std::string copy = folder.path() + "MoraineDeck-copy.so";
    const char* other = std::getenv("MORAINE_REFERENCE_PLUGIN");
    std::filesystem::copy_file(other && *other ? other : MORAINE_PLUGIN_PATH, copy);
    testing::SoHost h(float(kRate), kBlock, copy);
    PluginInstance* plugin = h.plugin.get();
    if (!plugin) return {};
    if (name == kTorture) {
        torture(h);
    } else {
        const std::string text = testing::factoryPatch(name);
        EXPECT_FALSE(text.empty()) << name;
        plugin->setChunk(text);
    }

    Render r;
    r.digest = 0xCBF29CE484222325ull;
    const std::vector<Event> events = phrase();
    float* outputs[2] = {h.left.data(), h.right.data()};
    const long total = at(kSeconds);
    double sum[2] = {0.0, 0.0};
    for (long start = 0; start < total; start += kBlock) {
        const int n = int(std::min<long>(kBlock, total - start));
        for (const Event& e : events)
            if (e.frame >= start && e.frame < start + n)
                plugin->queueMidi(int(e.frame - start), e.status, e.data1, e.data2);
        plugin->process(nullptr, outputs, n);
        for (int i = 0; i < n; ++i) {
            addToDigest(r.digest, h.left[size_t(i)]);
            addToDigest(r.digest, h.right[size_t(i)]);
            sum[0] += double(h.left[size_t(i)]) * h.left[size_t(i)];
            sum[1] += double(h.right[size_t(i)]) * h.right[size_t(i)];
        }
    }
    for (int c = 0; c < 2; ++c) r.rms[c] = std::sqrt(sum[c] / double(total));
    return r;
}

std::string dbText(double rms) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", 20.0 * std::log10(std::max(rms, 1e-12)));
    return text;
}

// Lines of "digest left-dB right-dB name".
std::map<std::string, std::string> referenceDigests() {
    std::map<std::string, std::string> digests;
    std::ifstream in(std::string(MORAINE_TEST_REFERENCE_DIR) + "/RenderDigests.txt");
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string digest, left, right, name;
        fields >> digest >> left >> right;
        std::getline(fields >> std::ws, name);
        digests[name] = digest;
    }
    return digests;
}

std::string hex(uint64_t v) {
    char text[20];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(v));
    return text;
}

TEST(ReferenceRenders, EveryFactoryPatchAndTheTorturePatchSoundAsBefore) {
    std::vector<std::string> names = testing::factoryPatchNames(); // in library order
    names.emplace_back(kTorture);
    ASSERT_GE(names.size(), 41u);
    const char* writeTo = std::getenv("MORAINE_WRITE_REFERENCES");
    if (writeTo && *writeTo) {
        std::ofstream out(writeTo);
        out << "# digest, RMS left and right in dBFS, render; written by the reference test\n";
        for (const std::string& name : names) {
            const Render r = render(name);
            out << hex(r.digest) << ' ' << dbText(r.rms[0]) << ' ' << dbText(r.rms[1]) << ' '
                << name << '\n';
        }
        return;
    }
    const auto expected = referenceDigests();
    ASSERT_EQ(expected.size(), names.size()) << "every render has a reference digest";
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const auto found = expected.find(name);
        ASSERT_NE(found, expected.end());
        const Render r = render(name);
        EXPECT_GT(std::max(r.rms[0], r.rms[1]), 1e-4) << "a render that plays nothing pins nothing";
        EXPECT_EQ(hex(r.digest), found->second)
            << "RMS now " << dbText(r.rms[0]) << " / " << dbText(r.rms[1]) << " dBFS";
    }
}

// Two renders of one patch in one process give the same digest: the copies really start
// from the same state, so the references above depend on nothing that ran before.
TEST(ReferenceRenders, ARenderRepeatsInTheSameProcess) {
    EXPECT_EQ(render(kTorture).digest, render(kTorture).digest);
}

} // namespace
} // namespace moraine
