// Voices and the reverb rest when nothing sounds and nothing can start them: an instance
// that plays nothing costs next to nothing. Resting keeps the modules' state as it was
// (oscillator phases freeze), so these tests play the same performance with resting
// allowed and forbidden and measure what differs.
#include "PluginTestSupport.h"
#include "engine/Random.h"

#include <algorithm>
#include <cmath>

namespace moraine {
namespace {

constexpr int kRate = 48000, kBlock = 512;

// An instance with a factory patch, its random sequence where a new process starts it.
struct Instance {
    explicit Instance(bool restAllowed) : live(float(kRate), kBlock) {
        detail::randState.store(RandSequence::kSeed);
        live.chunk(testing::factoryPatch("Brass Section"));
        for (int v = 0; v < 9; ++v) EngineAccess::voice(*live.plugin, v).restAllowed = restAllowed;
    }
    // Renders whole blocks up to `seconds` from the start, keeping the left channel.
    void until(double seconds) {
        while (double(left.size()) < seconds * kRate) {
            live.render();
            left.insert(left.end(), live.left.begin(), live.left.end());
        }
    }
    void chord(std::initializer_list<int> keys, int velocity) {
        for (int k : keys) live.midi(0, velocity ? 0x90 : 0x80, k, velocity);
    }
    int resting() {
        int n = 0;
        for (int v = 0; v <= live.plugin->extraVoiceCount(); ++v)
            n += EngineAccess::voice(*live.plugin, v).resting ? 1 : 0;
        return n;
    }
    bool allResting() { return resting() == live.plugin->extraVoiceCount() + 1; }
    std::vector<float> slice(double from, double to) {
        return {left.begin() + long(from * kRate), left.begin() + long(to * kRate)};
    }
    testing::LivePlugin live;
    std::vector<float> left;
};

// A chord, its release and tail, a pause long enough for everything to rest, then a
// second chord on voices that rested, `late` seconds after 4 s.
void perform(Instance& in, std::vector<bool>* resting = nullptr, double late = 0.0) {
    in.chord({60, 64, 67}, 100);
    in.until(0.5);
    in.chord({60, 64, 67}, 0);
    while (in.left.size() < size_t((4.0 + late) * kRate)) {
        in.until(double(in.left.size() + kBlock) / kRate);
        if (resting) resting->push_back(in.allResting());
    }
    in.chord({55, 62, 65, 71}, 90);
    in.until(4.6 + late);
    in.chord({55, 62, 65, 71}, 0);
    in.until(5.5 + late);
}

double db(double x) { return 20.0 * std::log10(std::max(x, 1e-12)); }

// Level of each third-octave band from 100 Hz to 10 kHz, in dB.
std::vector<double> thirdOctaves(const std::vector<float>& x) {
    const std::vector<double> magnitude = testing::magnitudeSpectrum(x);
    const double binHz = double(kRate) / double(2 * (magnitude.size() - 1));
    const double edge = std::pow(2.0, 1.0 / 6.0);
    std::vector<double> bands;
    for (double centre = 100.0; centre <= 10000.0; centre *= std::pow(2.0, 1.0 / 3.0)) {
        double sum = 0.0;
        for (size_t i = 0; i < magnitude.size(); ++i)
            if (double(i) * binHz >= centre / edge && double(i) * binHz < centre * edge)
                sum += magnitude[i] * magnitude[i];
        bands.push_back(10.0 * std::log10(std::max(sum, 1e-30)));
    }
    return bands;
}

TEST(Resting, AQuietInstanceRestsAndThatChangesNothingAudible) {
    Instance resting(true), running(false);
    std::vector<bool> rested;
    perform(resting, &rested);
    perform(running);
    // Nothing rests while the first chord or its tail may still sound, everything does
    // within a few seconds of silence, and the second chord wakes it.
    EXPECT_EQ(std::count(rested.begin(), rested.begin() + int(2.0 * kRate / kBlock), true), 0);
    EXPECT_TRUE(rested.back());
    // Until the second chord the two differ by less than -100 dBFS: what rests had fallen
    // below -120 dBFS at its voice's output, and the output stage doubles it and sums the
    // voices.
    double worst = 0.0;
    for (size_t i = 0; i < size_t(4.0 * kRate); ++i)
        worst = std::max(worst, double(std::fabs(resting.left[i] - running.left[i])));
    EXPECT_LT(db(worst), -100.0);
    // The chord played by voices that rested: frozen phases change where the waveforms
    // start, not how loud they are or what they hold. The slightly detuned oscillators'
    // slow beating starts at another point of its cycle, which moves the level of a band
    // as much as striking the chord a moment later does: each band stays within what
    // the running instrument itself gives for the chord 0.3 to 1.2 s later, plus 0.5 dB.
    const auto a = resting.slice(4.0, 5.5), b = running.slice(4.0, 5.5);
    EXPECT_NEAR(db(testing::rms(a)), db(testing::rms(b)), 0.5);
    const auto bandsA = thirdOctaves(a), bandsB = thirdOctaves(b);
    std::vector<double> spread(bandsB.size(), 0.0);
    for (double late : {0.3, 0.6, 0.9, 1.2}) {
        Instance later(false);
        perform(later, nullptr, late);
        const auto bands = thirdOctaves(later.slice(4.0 + late, 5.5 + late));
        for (size_t i = 0; i < bands.size(); ++i)
            spread[i] = std::max(spread[i], std::fabs(bands[i] - bandsB[i]));
    }
    for (size_t i = 0; i < bandsA.size(); ++i)
        EXPECT_TRUE(std::max(bandsA[i], bandsB[i]) <= -80.0 ||
                    std::fabs(bandsA[i] - bandsB[i]) <= spread[i] + 0.5)
            << i << ": " << bandsA[i] << " vs " << bandsB[i] << ", spread " << spread[i];
}

TEST(Resting, ClockGatedOrOutsideFedVoicesNeverRestAndACordOrABendWakesThem) {
    for (bool clock : {true, false}) {
        SCOPED_TRACE(clock ? "clock-driven envelopes" : "the reverb into the left direct input");
        Instance in(true);
        if (clock) {
            in.live.plugin->setEngineValue(38, 0.0f);
            in.live.plugin->applyPendingControl();
        } else {
            in.live.cord("pl71", "pl76");
        }
        in.until(4.0);
        EXPECT_EQ(in.resting(), 0);
    }
    Instance in(true);
    in.until(3.0);
    ASSERT_TRUE(in.allResting());
    in.live.midi(0, 0xE0, 0, 0x60);
    in.until(3.0 + double(kBlock) / kRate);
    EXPECT_FALSE(in.allResting());
    in.until(6.0);
    ASSERT_TRUE(in.allResting());
    in.live.cord("pl71", "pl57"); // the first oscillator's square straight to the left input
    in.until(6.0 + double(kBlock) / kRate);
    EXPECT_EQ(in.resting(), 0);
    in.until(6.1);
    EXPECT_GT(testing::rms(in.slice(6.02, 6.1)), 1e-3);
}

} // namespace
} // namespace moraine
