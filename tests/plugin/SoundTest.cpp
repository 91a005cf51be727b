// Notes through the built plug-in, measured on the rendered audio.
#include "engine/graph/JackTable.h"
#include "patch/ParameterTable.h"
#include "support/Spectrum.h"
#include "tools/host/VstHost.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

namespace moraine {
namespace {

class Sound : public ::testing::Test {
protected:
    void SetUp() override {
        plugin = load();
        ASSERT_TRUE(plugin);
    }
    static std::unique_ptr<PluginInstance> load() {
        HostConfig config;
        config.sampleRate = 48000.0f;
        config.blockSize = 480;
        std::string error;
        auto p = PluginInstance::load(MORAINE_PLUGIN_PATH, &error, config);
        EXPECT_TRUE(p) << error;
        if (p) p->start();
        return p;
    }
    void set(const char* code, float engine) {
        const int index = findParameterByName(code);
        plugin->setParameter(index, engineToHost(index, engine));
    }
    void cord(const char (&in)[5], const char (&out)[5]) {
        plugin->setParameter(89 + jackNumber(fourcc(in)), float(jackNumber(fourcc(out))) / 1000.0f);
    }
    // Renders `seconds` and returns the left channel.
    std::vector<float> render(double seconds) { return renderStereo(seconds)[0]; }
    std::array<std::vector<float>, 2> renderStereo(double seconds) {
        std::array<std::vector<float>, 2> audio;
        std::vector<float> l(480), r(480);
        float* out[2] = {l.data(), r.data()};
        for (int n = 0; n < int(seconds * 100); ++n) {
            plugin->process(nullptr, out, 480);
            audio[0].insert(audio[0].end(), l.begin(), l.end());
            audio[1].insert(audio[1].end(), r.begin(), r.end());
        }
        return audio;
    }
    // The RMS of the last 0.1 s of each channel after `seconds`.
    std::array<double, 2> tailLevels(double seconds) {
        const auto audio = renderStereo(seconds);
        std::array<double, 2> level;
        for (int c = 0; c < 2; ++c)
            level[size_t(c)] = testing::rms(std::vector<float>(audio[size_t(c)].end() - 4800,
                                                                audio[size_t(c)].end()));
        return level;
    }
    std::unique_ptr<PluginInstance> plugin;
};

TEST_F(Sound, KeySixtyNinePlaysAnOctaveDownAtZeroVoltsAndUpAtTheDefaultCoarse) {
    set("vcss", 0);
    cord("pl71", "v1si"); // the first oscillator's sine into the left direct input
    set("vo1c", 0.0f);
    render(0.05);
    plugin->queueMidi(0, 0x90, 69, 100);
    auto audio = render(0.5);
    std::vector<float> tail(audio.end() - 16384, audio.end());
    EXPECT_NEAR(testing::peakFrequency(tail, 48000), 220.0, 0.5);
    EXPECT_NEAR(testing::rms(tail), 0.1 * 5.0 * 2.0 / std::sqrt(2.0), 0.02); // +-5 V sine
    set("vo1c", 0.2f);
    audio = render(0.5);
    tail.assign(audio.end() - 16384, audio.end());
    EXPECT_NEAR(testing::peakFrequency(tail, 48000), 880.0, 1.0);
}

TEST_F(Sound, ANoteSoundsThroughTheNormalledPathAndStops) {
    set("shgt", 1);
    set("vfo1", 0.5f);
    set("vffc", 0.7f);
    set("vavf", 1.0f);
    set("vaad", 1.0f);
    set("mxva", 0.5f);
    set("envr", 0.05f);
    render(0.2);
    plugin->queueMidi(0, 0x90, 57, 100);
    const auto held = render(0.5);
    plugin->queueMidi(0, 0x80, 57, 0);
    const auto released = render(1.0);
    std::vector<float> during(held.end() - 9600, held.end());
    std::vector<float> after(released.end() - 9600, released.end());
    EXPECT_GT(testing::rms(during), 0.02);
    EXPECT_LT(testing::rms(after), 1e-4);
    // Key 57 is 220 Hz; the keyboard voltage is an octave down and the default coarse
    // setting of 2 V two octaves up: the first oscillator's square at 440 Hz.
    EXPECT_NEAR(testing::peakFrequency(during, 48000, 100), 440.0, 2.0);
}

// A switch a host sets between 0 and 1 is saved as the position it plays in, so a
// reloaded project sounds like the saved one.
TEST_F(Sound, SwitchesSetBetweenZeroAndOneAreSavedAsTheyPlay) {
    struct Case {
        const char* code;
        float host, reloaded;
    };
    const Case cases[] = {
        {"shgt", 0.7f, 1.0f}, {"shgt", 0.3f, 0.0f},  {"kbd1", 0.7f, 1.0f},
        {"kbd2", 0.5f, 0.0f}, {"kbd3", 0.51f, 1.0f}, {"audc", 0.7f, 1.0f},
        {"ktrg", 0.6f, 1.0f}, {"prto", 0.5f, 1.0f},  {"prto", 0.49f, 0.0f},
        {"klch", 0.3f, 1.0f}, {"klch", 0.0f, 0.0f},  {"vcss", 0.7f, 5.0f / 8.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.code) + " at " + std::to_string(c.host));
        const int index = findParameterByName(c.code);
        auto saved = load();
        saved->setParameter(index, c.host);
        auto restored = load();
        restored->setChunk(saved->getChunk());
        EXPECT_FLOAT_EQ(restored->getParameter(index), c.reloaded);
    }
    // And the first oscillator still follows the keyboard: key 69 at 880 Hz.
    set("vcss", 0);
    cord("pl71", "v1si");
    plugin->setParameter(findParameterByName("kbd1"), 0.7f);
    const std::string chunk = plugin->getChunk();
    plugin = load();
    plugin->setChunk(chunk);
    render(0.05);
    plugin->queueMidi(0, 0x90, 69, 100);
    const auto audio = render(0.5);
    EXPECT_NEAR(testing::peakFrequency(std::vector<float>(audio.end() - 16384, audio.end()), 48000),
                880.0, 1.0);
}

// A cord kept on an output jack's parameter: the oscillator's sine into the left, then the
// right direct input, then out.
TEST_F(Sound, ACordOnAnOutputJacksParameterMovesAndComesOut) {
    set("vcss", 0);
    const int sine = 89 + jackNumber(fourcc("v1si"));
    auto level = tailLevels(0.2);
    EXPECT_LT(level[0], 1e-3);
    cord("v1si", "pl71");
    level = tailLevels(0.3);
    EXPECT_NEAR(level[0], 0.707, 0.05); // a +-5 V sine
    EXPECT_LT(level[1], 1e-3);
    cord("v1si", "pl75");
    level = tailLevels(0.3);
    EXPECT_LT(level[0], 1e-3);
    EXPECT_NEAR(level[1], 0.707, 0.05);
    plugin->setParameter(sine, 0.0f);
    level = tailLevels(0.3);
    EXPECT_LT(level[0], 1e-3);
    EXPECT_LT(level[1], 1e-3);
    EXPECT_EQ(plugin->getChunk().find("\n2 : "), std::string::npos); // the state holds no cord
}

// The filter's insert cord pulled out from its input end gives the mixer its filter back.
TEST_F(Sound, AnInsertCordPulledFromItsInputEndGivesTheMixerBack) {
    set("vcss", 0);
    set("vfo1", 0.5f);
    set("vffc", 0.7f);
    set("mxvf", 0.5f);
    const double mixer = tailLevels(0.3)[1];
    ASSERT_GT(mixer, 0.01);
    cord("pl71", "pl69"); // the insert into the left direct input
    EXPECT_LT(tailLevels(0.3)[1], 0.25 * mixer); // the mixer no longer hears the filter
    plugin->setParameter(89 + jackNumber(fourcc("pl71")), 0.0f);
    EXPECT_NEAR(tailLevels(0.3)[1], mixer, 0.1 * mixer);
    set("mxvf", 0.25f);
    EXPECT_NEAR(tailLevels(0.3)[1], 0.5 * mixer, 0.1 * mixer);
}

} // namespace
} // namespace moraine
