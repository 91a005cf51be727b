// The sound of every factory patch and of a torture patch, pinned: each render of a fixed
// phrase (chords at several velocities, the mod wheel, pitch bend) through the built
// plug-in must give, bit for bit, the render whose digest is kept in
// plugin/reference/RenderDigests.txt. Work on the engine's speed must not change what it plays.
//
// The noise and the filter's dither draw from one sequence per loaded library: the renders
// run in library order on one fresh copy of the plug-in, which starts the sequence where a
// fresh process would.
//
// MORAINE_WRITE_REFERENCES=FILE writes the digests of this build to FILE instead of
// comparing; MORAINE_REFERENCE_PLUGIN=PATH renders another build of the plug-in.
#include "PluginTestSupport.h"
#include "support/TempDataFolder.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace moraine {
namespace {

constexpr int kRate = 24000; // every module still runs on every sample, at half the cost
constexpr int kBlock = 512;
const char* const kTorture = "torture";

struct Event {
    long frame;
    uint8_t status, data1, data2;
};

long at(double seconds) { return long(seconds * kRate); }

// Two chords with different velocities, the mod wheel swept up and back, pitch bend up,
// down and home, and a tail after the last release.
std::vector<Event> phrase() {
    std::vector<Event> e;
    const uint8_t first[] = {60, 64, 67}, firstVel[] = {100, 70, 120};
    for (int i = 0; i < 3; ++i) e.push_back({at(0.0), 0x90, first[i], firstVel[i]});
    for (int step = 0; step <= 16; ++step) // mod wheel 0 -> 127 -> 0
        e.push_back(
            {at(0.2 + 0.075 * step), 0xB0, 1, uint8_t((step <= 8 ? step : 16 - step) * 127 / 8)});
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
    for (int index : {2,  3,  4,  7,  8,  9,  13, 14, 15, 16, 20, 21, 22, 26, 27, 28, 29,
                      30, 31, 32, 41, 42, 43, 44, 46, 47, 48, 49, 52, 53, 54, 56, 67, 72})
        h.set(index, 1.0f);
    // The third oscillator (60) in its low range.
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

// A copy of the plug-in that no other test has loaded: its random sequence starts where a
// fresh process starts it, and goes on from render to render of that copy.
struct FreshCopy {
    FreshCopy() {
        folder.write("groupList", ""); // the bare circuit: no library to build, which is slow
        const char* other = std::getenv("MORAINE_REFERENCE_PLUGIN");
        std::filesystem::copy_file(other && *other ? other : MORAINE_PLUGIN_PATH, path);
    }
    testing::TempDataFolder folder;
    const std::string path = folder.path() + "MoraineDeck-copy.so";
};

// FNV-1a over the bits of every sample of both channels, frame by frame, and the RMS in dBFS.
struct Render {
    uint64_t digest = 0xCBF29CE484222325ull;
    double sum[2] = {0.0, 0.0};
    std::string hex() const {
        char text[20];
        std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(digest));
        return text;
    }
    std::string db(int c) const {
        char text[32];
        std::snprintf(text, sizeof text, "%.2f",
                      10.0 * std::log10(std::max(sum[c] / double(at(2.5)), 1e-24)));
        return text;
    }
    void add(float x, int c) {
        uint32_t bits;
        std::memcpy(&bits, &x, sizeof bits);
        for (int i = 0; i < 4; ++i)
            digest = (digest ^ ((bits >> (8 * i)) & 0xFFu)) * 0x100000001B3ull;
        sum[c] += double(x) * x;
    }
};

Render render(const std::string& name, const FreshCopy& copy) {
    testing::SoHost h(float(kRate), kBlock, copy.path);
    if (!h.plugin) return {};
    if (name == kTorture) {
        torture(h);
    } else {
        const std::string text = testing::factoryPatch(name);
        EXPECT_FALSE(text.empty()) << name;
        h.plugin->setChunk(text);
    }
    Render r;
    const std::vector<Event> events = phrase();
    for (long start = 0, total = at(2.5); start < total; start += kBlock) {
        h.frames = int(std::min<long>(kBlock, total - start));
        for (const Event& e : events)
            if (e.frame >= start && e.frame < start + h.frames)
                h.midi(int(e.frame - start), e.status, e.data1, e.data2);
        h.block();
        for (int i = 0; i < h.frames; ++i)
            r.add(h.left[size_t(i)], 0), r.add(h.right[size_t(i)], 1);
    }
    return r;
}

TEST(ReferenceRenders, EveryFactoryPatchAndTheTorturePatchSoundAsBefore) {
    std::vector<std::string> names = testing::factoryPatchNames();
    names.emplace_back(kTorture);
    ASSERT_EQ(names.size(), 43u);
    const FreshCopy copy; // the renders follow each other in library order
    const char* writeTo = std::getenv("MORAINE_WRITE_REFERENCES");
    if (writeTo && *writeTo) {
        std::ofstream out(writeTo);
        out << "# digest, RMS left and right in dBFS, render; written by the reference test\n";
        for (const std::string& name : names) {
            const Render r = render(name, copy);
            out << r.hex() << ' ' << r.db(0) << ' ' << r.db(1) << ' ' << name << '\n';
        }
        return;
    }
    // Lines of "digest left-dB right-dB name".
    std::map<std::string, std::string> expected;
    std::ifstream in(std::string(MORAINE_TEST_REFERENCE_DIR) + "/RenderDigests.txt");
    for (std::string line, digest, left, right, name; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        fields >> digest >> left >> right;
        std::getline(fields >> std::ws, name);
        expected[name] = digest;
    }
    ASSERT_EQ(expected.size(), names.size()) << "every render has a reference digest";
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(expected.count(name));
        const Render r = render(name, copy);
        EXPECT_GT(std::max(r.sum[0], r.sum[1]), 1e-8 * double(at(2.5)))
            << "a render that plays nothing pins nothing";
        EXPECT_EQ(r.hex(), expected[name]) << "RMS now " << r.db(0) << " / " << r.db(1) << " dBFS";
    }
}

// Two fresh copies in one process render alike: the references above depend on nothing
// that ran before.
TEST(ReferenceRenders, ARenderRepeatsInTheSameProcess) {
    EXPECT_EQ(render(kTorture, FreshCopy()).digest, render(kTorture, FreshCopy()).digest);
}

} // namespace
} // namespace moraine
