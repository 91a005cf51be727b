// Notes through the built plug-in, measured on the rendered audio.
#include "engine/graph/JackTable.h"
#include "patch/ParameterTable.h"
#include "support/Spectrum.h"
#include "tools/host/VstHost.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace moraine {
namespace {

class Sound : public ::testing::Test {
protected:
    void SetUp() override {
        HostConfig config;
        config.sampleRate = 48000.0f;
        config.blockSize = 480;
        std::string error;
        plugin = PluginInstance::load(MORAINE_PLUGIN_PATH, &error, config);
        ASSERT_TRUE(plugin) << error;
        plugin->start();
    }
    void set(const char* code, float engine) {
        const int index = findParameterByName(code);
        plugin->setParameter(index, engineToHost(index, engine));
    }
    void cord(const char (&in)[5], const char (&out)[5]) {
        plugin->setParameter(89 + jackNumber(fourcc(in)), float(jackNumber(fourcc(out))) / 1000.0f);
    }
    // Renders `seconds` and returns the left channel.
    std::vector<float> render(double seconds) {
        std::vector<float> left, l(480), r(480);
        float* out[2] = {l.data(), r.data()};
        for (int n = 0; n < int(seconds * 100); ++n) {
            plugin->process(nullptr, out, 480);
            left.insert(left.end(), l.begin(), l.end());
        }
        return left;
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

} // namespace
} // namespace moraine
