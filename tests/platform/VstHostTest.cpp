// The test host itself: loading and its failures, MIDI delivery across blocks and the
// transport a plug-in reads. Plug-ins are the fixture modules.
#include "tools/host/VstHost.h"
#include "tests/fixtures/FixtureHandle.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <array>
#include <span>
#include <string>
#include <vector>

namespace moraine {
namespace {

std::unique_ptr<PluginInstance> loadFixture(const HostConfig& config = {}) {
    std::string error;
    auto plugin = PluginInstance::load(MORAINE_FIXTURE_PATH, &error, config);
    EXPECT_NE(plugin, nullptr) << error;
    return plugin;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// ---- Loading ---------------------------------------------------------------------------

// An old host (version 0) is refused before the plug-in constructs anything.
TEST(VstHostLoad, FailuresSayWhy) {
    fixture::Probe* probe = fixture::probe();
    ASSERT_NE(probe, nullptr);
    *probe = fixture::Probe{};
    const std::string dir = testing::TempDir();
    const std::string missing = dir + "moraine-missing-" + std::to_string(getpid()) + ".so";

    struct Case {
        std::string path;
        HostConfig config;
        const char* reason;
    };
    HostConfig oldHost;
    oldHost.hostVersion = 0;
    const Case cases[] = {
        {missing, {}, "cannot load"},
        {MORAINE_FIXTURE_BADMAGIC_PATH, {}, "magic"},
        {MORAINE_FIXTURE_PATH, oldHost, "no effect"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        std::string error;
        EXPECT_EQ(PluginInstance::load(c.path, &error, c.config), nullptr);
        EXPECT_TRUE(contains(error, c.reason)) << error;
        EXPECT_TRUE(contains(error, c.path)) << error;
        EXPECT_EQ(PluginInstance::load(c.path, nullptr, c.config), nullptr) << "no error wanted";
    }
    EXPECT_EQ(probe->callCount, 0) << "the old host was refused before construction";
}

TEST(VstHostLoad, LegacyMainIsTheFallbackEntry) {
    std::string error;
    auto plugin = PluginInstance::load(MORAINE_FIXTURE_LEGACY_PATH, &error);
    ASSERT_NE(plugin, nullptr) << error;
    EXPECT_EQ(plugin->uniqueId(), VST_FOURCC('B', 'a', 'r', 'e'));
}

TEST(VstHostLoad, InstancesOfOneLibraryAreKeptApart) {
    auto a = loadFixture();
    auto b = loadFixture();
    ASSERT_TRUE(a && b);
    EXPECT_NE(a->effect(), b->effect());
    EXPECT_GE(a->versionRequests(), 1) << "the entry call's question reached its own instance";
    EXPECT_GE(b->versionRequests(), 1);
    a->dispatch(effVendorSpecific, fixture::kAutomateRequest, fixture::kGain, nullptr, 0.5f);
    EXPECT_EQ(a->automation().size(), 1u);
    EXPECT_TRUE(b->automation().empty());
}

// ---- MIDI delivery ---------------------------------------------------------------------

class VstHostMidi : public ::testing::Test {
protected:
    static constexpr int kBlock = 512;

    void SetUp() override {
        probe = fixture::probe();
        ASSERT_NE(probe, nullptr);
        *probe = fixture::Probe{};
        plugin = loadFixture();
        ASSERT_NE(plugin, nullptr);
        plugin->start();
    }

    void render(int frames = kBlock) {
        float* outputs[] = {left.data(), right.data()};
        plugin->process(nullptr, outputs, frames);
    }

    fixture::Probe* probe = nullptr;
    std::unique_ptr<PluginInstance> plugin;
    std::array<float, kBlock> left{}, right{};
};

// Events wait for the block they fall in and arrive in frame order (queue order within a
// frame, late ones on frame 0) with their offsets moved along: one list a block, none empty.
TEST_F(VstHostMidi, EventsArriveInTheirBlockInFrameOrder) {
    plugin->queueMidi(10, 0x90, 62, 90);
    plugin->queueMidi(0, 0x90, 60, 100);
    plugin->queueMidi(10, 0x80, 60, 0);
    plugin->queueMidi(-20, 0xB0, 4, 1);   // late: at once, after those queued for frame 0
    plugin->queueMidi(511, 0x90, 64, 80); // last frame of the first block
    plugin->queueMidi(512, 0x90, 65, 80); // first frame of the second
    plugin->queueMidi(600, 0x80, 62, 0);
    plugin->queueMidi(1030, 0x80, 64, 0);
    plugin->queueMidi(1150, 0x90, 70, 1);
    EXPECT_EQ(plugin->pendingEvents(), 9u);
    render();
    EXPECT_EQ(probe->processEventsCalls, 1) << "a block's events arrive in one list";
    EXPECT_EQ(probe->lastNumEvents, 5);
    EXPECT_EQ(plugin->pendingEvents(), 4u);
    render();
    render(100); // a short block delivers only what is due
    render(0);   // nothing at all: the last event keeps its place
    render(60);
    render();
    EXPECT_EQ(probe->processEventsCalls, 4) << "no empty lists";
    std::vector<std::array<int, 4>> received; // block, offset and first two data bytes
    for (const fixture::ReceivedEvent& e : std::span(probe->events, probe->eventCount))
        received.push_back({e.block, e.deltaFrames, e.data[0], e.data[1]});
    const std::vector<std::array<int, 4>> expected = {
        {0, 0, 0x90, 60},  {0, 0, 0xB0, 4},    {0, 10, 0x90, 62},
        {0, 10, 0x80, 60}, {0, 511, 0x90, 64}, {1, 0, 0x90, 65},
        {1, 88, 0x80, 62}, {2, 6, 0x80, 64},   {3, 26, 0x90, 70},
    };
    EXPECT_EQ(received, expected);
}

// ---- Transport -------------------------------------------------------------------------

TEST(VstHostTransport, PluginReadsPositionTempoAndFlags) {
    fixture::Probe* probe = fixture::probe();
    ASSERT_NE(probe, nullptr);
    HostConfig config;
    config.sampleRate = 48000.0f;
    config.tempo = 90.0;
    auto plugin = loadFixture(config);
    ASSERT_NE(plugin, nullptr);
    plugin->start();
    std::array<float, 480> left{}, right{};
    float* outputs[] = {left.data(), right.data()};

    plugin->process(nullptr, outputs, 480);
    plugin->process(nullptr, outputs, 480);
    ASSERT_TRUE(probe->gotTime);
    EXPECT_EQ(plugin->timeRequests(), 2);
    EXPECT_EQ(probe->time.samplePos, 480.0) << "the position where the block starts";
    EXPECT_EQ(probe->time.sampleRate, 48000.0);
    EXPECT_EQ(probe->time.tempo, 90.0);
    EXPECT_DOUBLE_EQ(probe->time.ppqPos, 480.0 / 48000.0 * 90.0 / 60.0);
    const VstInt32 running = kVstTransportPlaying | kVstPpqPosValid | kVstTempoValid;
    EXPECT_EQ(probe->time.flags & running, running);
}

} // namespace
} // namespace moraine
