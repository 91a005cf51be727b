// Notes through the built plug-in, measured on the rendered audio.
#include "PluginTestSupport.h"

#include <array>
#include <cmath>

namespace moraine {
namespace {

using testing::SoHost;
using testing::tail;

class Sound : public ::testing::Test {
protected:
    // The RMS of the last 0.1 s of each channel after `seconds`.
    std::array<double, 2> tailLevels(double seconds) {
        std::vector<float> audio[2];
        for (int n = 0; n < int(seconds * 100) && h.block(); ++n)
            for (int c = 0; c < 2; ++c)
                audio[c].insert(audio[c].end(), c ? h.right.begin() : h.left.begin(),
                                c ? h.right.end() : h.left.end());
        return {testing::rms(tail(audio[0], 0.1)), testing::rms(tail(audio[1], 0.1))};
    }
    // The last 16384 samples of half a second of key 69.
    static std::vector<float> key69(SoHost& s) {
        s.play(0.05);
        s.midi(0, 0x90, 69, 100);
        return tail(s.play(0.5), 16384 / 48000.0);
    }
    static double peak(const std::vector<float>& x) { return testing::peakFrequency(x, 48000); }
    SoHost h{48000.0f, 480};
};

TEST_F(Sound, KeySixtyNinePlaysAnOctaveDownAtZeroVoltsAndUpAtTheDefaultCoarse) {
    h.sineOnLeft();
    h.setEngine("vo1c", 0.0f);
    const std::vector<float> low = key69(h);
    EXPECT_NEAR(peak(low), 220.0, 0.5);
    EXPECT_NEAR(testing::rms(low), 0.1 * 5.0 * 2.0 / std::sqrt(2.0), 0.02); // a +-5 V sine
    h.setEngine("vo1c", 0.2f);
    EXPECT_NEAR(peak(tail(h.play(0.5), 16384 / 48000.0)), 880.0, 1.0);
}

// A switch a host sets between 0 and 1 is saved as the position it plays in, so a
// reloaded project sounds like the saved one.
TEST_F(Sound, SwitchesSetBetweenZeroAndOneAreSavedAsTheyPlay) {
    struct Case {
        const char* code;
        float host, reloaded;
    };
    for (const Case& c :
         {Case{"shgt", 0.7f, 1.0f}, {"shgt", 0.3f, 0.0f}, {"kbd1", 0.7f, 1.0f},
          {"kbd2", 0.5f, 0.0f}, {"kbd3", 0.51f, 1.0f}, {"audc", 0.7f, 1.0f}, {"ktrg", 0.6f, 1.0f},
          {"prto", 0.5f, 1.0f}, {"prto", 0.49f, 0.0f}, {"klch", 0.3f, 1.0f}, {"klch", 0.0f, 0.0f},
          {"vcss", 0.7f, 5.0f / 8.0f}}) {
        SCOPED_TRACE(std::string(c.code) + " at " + std::to_string(c.host));
        const int index = findParameterByName(c.code);
        SoHost saved, restored;
        saved.set(index, c.host);
        restored.plugin->setChunk(saved.plugin->getChunk());
        EXPECT_FLOAT_EQ(restored.param(index), c.reloaded);
    }
}

// A cord kept on an output jack's parameter: the oscillator's sine into the left, then the
// right direct input, then out.
TEST_F(Sound, ACordOnAnOutputJacksParameterMovesAndComesOut) {
    h.setEngine("vcss", 0);
    EXPECT_LT(tailLevels(0.2)[0], 1e-3);
    for (auto [to, left, right] :
         {std::tuple{"pl71", 0.707, 0.0}, {"pl75", 0.0, 0.707}, {"", 0.0, 0.0}}) {
        SCOPED_TRACE(to);
        const float jack = *to ? float(jackNumber(fourccFromText(to))) / 1000.0f : 0.0f;
        h.set(testing::jackParam("v1si"), jack);
        const auto level = tailLevels(0.3);
        EXPECT_NEAR(level[0], left, left ? 0.05 : 1e-3); // a +-5 V sine, or nothing
        EXPECT_NEAR(level[1], right, right ? 0.05 : 1e-3);
    }
    EXPECT_EQ(h.plugin->getChunk().find("\n2 : "), std::string::npos); // the state holds no cord
}

// The filter's insert cord pulled out from its input end gives the mixer its filter back.
TEST_F(Sound, AnInsertCordPulledFromItsInputEndGivesTheMixerBack) {
    for (auto [code, value] :
         {std::pair{"vcss", 0.0f}, {"vfo1", 0.5f}, {"vffc", 0.7f}, {"mxvf", 0.5f}})
        h.setEngine(code, value);
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
