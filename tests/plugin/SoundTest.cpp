// Notes through the built plug-in, measured on the rendered audio.
#include "PluginTestSupport.h"
#include "support/Spectrum.h"

#include <array>
#include <cmath>
#include <vector>

namespace moraine {
namespace {

using testing::SoHost;

class Sound : public ::testing::Test {
protected:
    // The RMS of the last 0.1 s of each channel after `seconds`.
    std::array<double, 2> tailLevels(double seconds) {
        std::array<double, 2> level;
        std::vector<float> audio[2];
        for (int n = 0; n < int(seconds * 100); ++n) {
            h.block();
            for (int c = 0; c < 2; ++c) {
                const auto& out = c ? h.right : h.left;
                audio[c].insert(audio[c].end(), out.begin(), out.end());
            }
        }
        for (int c = 0; c < 2; ++c)
            level[size_t(c)] = testing::rms(std::vector<float>(audio[c].end() - 4800, audio[c].end()));
        return level;
    }
    SoHost h{48000.0f, 480};
};

TEST_F(Sound, KeySixtyNinePlaysAnOctaveDownAtZeroVoltsAndUpAtTheDefaultCoarse) {
    h.setEngine("vcss", 0);
    h.cord("pl71", "v1si"); // the first oscillator's sine into the left direct input
    h.setEngine("vo1c", 0.0f);
    h.play(0.05);
    h.midi(0, 0x90, 69, 100);
    auto audio = h.play(0.5);
    std::vector<float> tail(audio.end() - 16384, audio.end());
    EXPECT_NEAR(testing::peakFrequency(tail, 48000), 220.0, 0.5);
    EXPECT_NEAR(testing::rms(tail), 0.1 * 5.0 * 2.0 / std::sqrt(2.0), 0.02); // +-5 V sine
    h.setEngine("vo1c", 0.2f);
    audio = h.play(0.5);
    tail.assign(audio.end() - 16384, audio.end());
    EXPECT_NEAR(testing::peakFrequency(tail, 48000), 880.0, 1.0);
}

TEST_F(Sound, ANoteSoundsThroughTheNormalledPathAndStops) {
    h.setEngine("shgt", 1);
    h.setEngine("vfo1", 0.5f);
    h.setEngine("vffc", 0.7f);
    h.setEngine("vavf", 1.0f);
    h.setEngine("vaad", 1.0f);
    h.setEngine("mxva", 0.5f);
    h.setEngine("envr", 0.05f);
    h.play(0.2);
    h.midi(0, 0x90, 57, 100);
    const auto held = h.play(0.5);
    h.midi(0, 0x80, 57, 0);
    const auto released = h.play(1.0);
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
        SoHost saved, restored;
        saved.set(index, c.host);
        restored.plugin->setChunk(saved.plugin->getChunk());
        EXPECT_FLOAT_EQ(restored.param(index), c.reloaded);
    }
    // And the first oscillator still follows the keyboard: key 69 at 880 Hz.
    h.setEngine("vcss", 0);
    h.cord("pl71", "v1si");
    h.set(findParameterByName("kbd1"), 0.7f);
    SoHost reloaded(48000.0f, 480);
    reloaded.plugin->setChunk(h.plugin->getChunk());
    reloaded.play(0.05);
    reloaded.midi(0, 0x90, 69, 100);
    const auto audio = reloaded.play(0.5);
    EXPECT_NEAR(testing::peakFrequency(std::vector<float>(audio.end() - 16384, audio.end()), 48000),
                880.0, 1.0);
}

// A cord kept on an output jack's parameter: the oscillator's sine into the left, then the
// right direct input, then out.
TEST_F(Sound, ACordOnAnOutputJacksParameterMovesAndComesOut) {
    h.setEngine("vcss", 0);
    const int sine = testing::jackParam("v1si");
    auto level = tailLevels(0.2);
    EXPECT_LT(level[0], 1e-3);
    h.cord("v1si", "pl71");
    level = tailLevels(0.3);
    EXPECT_NEAR(level[0], 0.707, 0.05); // a +-5 V sine
    EXPECT_LT(level[1], 1e-3);
    h.cord("v1si", "pl75");
    level = tailLevels(0.3);
    EXPECT_LT(level[0], 1e-3);
    EXPECT_NEAR(level[1], 0.707, 0.05);
    h.set(sine, 0.0f);
    level = tailLevels(0.3);
    EXPECT_LT(level[0], 1e-3);
    EXPECT_LT(level[1], 1e-3);
    EXPECT_EQ(h.plugin->getChunk().find("\n2 : "), std::string::npos); // the state holds no cord
}

// The filter's insert cord pulled out from its input end gives the mixer its filter back.
TEST_F(Sound, AnInsertCordPulledFromItsInputEndGivesTheMixerBack) {
    h.setEngine("vcss", 0);
    h.setEngine("vfo1", 0.5f);
    h.setEngine("vffc", 0.7f);
    h.setEngine("mxvf", 0.5f);
    const double mixer = tailLevels(0.3)[1];
    ASSERT_GT(mixer, 0.01);
    h.cord("pl71", "pl69"); // the insert into the left direct input
    EXPECT_LT(tailLevels(0.3)[1], 0.25 * mixer); // the mixer no longer hears the filter
    h.set(testing::jackParam("pl71"), 0.0f);
    EXPECT_NEAR(tailLevels(0.3)[1], mixer, 0.1 * mixer);
    h.setEngine("mxvf", 0.25f);
    EXPECT_NEAR(tailLevels(0.3)[1], 0.5 * mixer, 0.1 * mixer);
}

} // namespace
} // namespace moraine
