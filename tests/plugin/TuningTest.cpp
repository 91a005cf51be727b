// Tunings through the instrument: bulk dumps and ".tun" files in the data folder, the key
// tables the audio thread plays from, and the pitch a retuned key sounds at.
#include "PluginTestSupport.h"
#include "patch/TuningFile.h"
#include "support/TempDataFolder.h"

#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>

namespace moraine {
namespace {

using testing::LivePlugin;

struct Entry {
    int semitone, high, low;
};

// A whole 408-byte bulk dump: every key 7F 7F 7F except `keys`; a checksum nobody checks.
std::string bulkDump(int program, const std::string& name, const std::map<int, Entry>& keys) {
    std::string d(kTuningDumpLength, char(0x7F));
    const char head[] = {char(0xF0), 0x7E, 0x10, 0x08, 0x01, char(program)};
    std::memcpy(d.data(), head, sizeof head);
    std::memset(&d[kTuningNameOffset], 0, kTuningNameLength);
    std::memcpy(&d[kTuningNameOffset], name.data(), std::min(name.size(), kTuningNameLength));
    for (const auto& [k, e] : keys)
        for (int i = 0; const int byte : {e.semitone, e.high, e.low})
            d[kTuningEntriesOffset + 3 * size_t(k) + size_t(i++)] = char(byte);
    d[406] = 0x55;
    d[407] = char(0xF7);
    return d;
}

struct Tables {
    std::array<float, 128> frequency, volts;
    bool operator==(const Tables&) const = default;
};

class TuningInstrument : public ::testing::Test {
protected:
    TuningInstrument() {
        folder.write("groupList", ""); // the bare circuit
        std::filesystem::create_directories(folder.path() + "Tunings");
        live = std::make_unique<LivePlugin>();
    }
    void writeTuning(int n, const std::string& bytes) { folder.write(tuningFile(n), bytes); }
    static std::string tuningFile(int n) { return "Tunings/" + std::to_string(n) + ".tun"; }
    Moraine_VST& plugin() { return *live->plugin; }
    bool apply(const std::string& dump) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(dump.data());
        return plugin().applyTuningDump(bytes, dump.size());
    }
    // What the audio thread plays from, after a block has taken over any staged tables.
    Tables played() {
        live->render(64);
        KeyboardController& kb = EngineAccess::keyboard(plugin());
        Tables t;
        std::copy(std::begin(kb.keyFrequency), std::end(kb.keyFrequency), t.frequency.begin());
        std::copy(std::begin(kb.keyVolts), std::end(kb.keyVolts), t.volts.begin());
        return t;
    }
    testing::TempDataFolder folder;
    std::unique_ptr<LivePlugin> live;
};

const float base45 = 13.75f * float(std::pow(2.0, 36 / 12.0)); // 110 Hz

TEST_F(TuningInstrument, DumpsAccumulateKeyByKeyAndResetBringsEqualTemperamentBack) {
    const Tables equal = played();
    EXPECT_NEAR(equal.volts[69], std::log2(44.0), 1e-5);
    EXPECT_FLOAT_EQ(equal.frequency[69], 440.0f);
    ASSERT_TRUE(apply(bulkDump(1, "first", {{60, {45, 64, 0}}, {61, {69, 0, 0}}})));
    const Tables first = played();
    EXPECT_NEAR(first.frequency[60], base45 * std::pow(2.0, 50.0 / 1200.0), 1e-3);
    EXPECT_NEAR(first.volts[60], std::log2(first.frequency[60] / 10.0), 1e-6);
    EXPECT_FLOAT_EQ(first.frequency[61], 440.0f);
    EXPECT_EQ(first.volts[62], equal.volts[62]);
    // The second dump keeps everything but key 62; the first's keys stay retuned.
    ASSERT_TRUE(apply(bulkDump(2, "second", {{62, {50, 0, 0}}})));
    ASSERT_TRUE(apply(bulkDump(3, "third", {}))); // two in one block
    const Tables second = played();
    EXPECT_EQ(second.frequency[60], first.frequency[60]);
    EXPECT_EQ(second.frequency[61], first.frequency[61]);
    EXPECT_EQ(second.frequency[62], equal.frequency[50]);
    EXPECT_EQ(plugin().tuningProgram(), 3);
    plugin().resetTuning();
    EXPECT_EQ(played(), equal);
    EXPECT_EQ(plugin().tuningProgram(), 0);
    // After a reset, a dump starts from equal temperament again.
    ASSERT_TRUE(apply(bulkDump(4, "", {{62, {50, 0, 0}}})));
    const Tables afterReset = played();
    EXPECT_EQ(afterReset.frequency[60], equal.frequency[60]);
    EXPECT_EQ(afterReset.frequency[62], equal.frequency[50]);
}

// Refused dumps and files leave the tables and the program as they were (any bytes at
// all, and that a short dump is refused: the tuning fuzzer); the checksum, the closing F7
// and the device number are not needed.
TEST_F(TuningInstrument, RefusedDumpsAndFilesChangeNothing) {
    ASSERT_TRUE(apply(bulkDump(9, "kept", {{60, {48, 0, 0}}})));
    const Tables before = played();
    const std::string good = bulkDump(7, "new", {{60, {72, 0, 0}}});
    std::string badHeader = good;
    badHeader[3] ^= 0x02; // not F0 7E .. 08 01
    EXPECT_FALSE(apply(badHeader));
    EXPECT_FALSE(plugin().loadTuning(0)); // no file
    EXPECT_EQ(played(), before);
    EXPECT_EQ(plugin().tuningProgram(), 9);
    std::string noTail = good.substr(0, kTuningDataEnd);
    noTail[2] = 0x7F;
    EXPECT_TRUE(apply(noTail));
    EXPECT_EQ(played().frequency[60], before.frequency[72]);
    EXPECT_EQ(plugin().tuningProgram(), 7);
    // A huge file that starts with a dump: only its start is read, and that applies.
    std::string huge = bulkDump(6, "huge", {{61, {72, 0, 0}}});
    huge.resize(8u << 20, '\x7F');
    writeTuning(1, huge);
    EXPECT_TRUE(plugin().loadTuning(1));
    EXPECT_EQ(played().frequency[61], before.frequency[72]);
    EXPECT_EQ(plugin().tuningProgram(), 6);
}

TEST_F(TuningInstrument, ListsNamesUpToTheFirstMissingFile) {
    EXPECT_TRUE(plugin().listTunings().empty());
    writeTuning(0, bulkDump(0, "Just Intonation", {}));
    writeTuning(1, bulkDump(1, "ExactlySixteen!!", {})); // no NUL inside the name
    writeTuning(3, bulkDump(3, "After a gap", {}));
    using Names = std::vector<std::string>;
    EXPECT_EQ(plugin().listTunings(), (Names{"Just Intonation", "ExactlySixteen!!"}));
    // Short files are listed with what they have of a name, so entry i stays file i (that any
    // bytes at all give one entry is the tuning fuzzer's check).
    writeTuning(2, std::string("\xF0\x7E\x00\x08\x01\x00" "Cut", 9));
    EXPECT_EQ(plugin().listTunings(),
              (Names{"Just Intonation", "ExactlySixteen!!", "Cut", "After a gap"}));
}

// Through the sound: the first oscillator's sine, two octaves up from the keyboard voltage
// (which is an octave below the key's pitch), on the left direct input.
TEST_F(TuningInstrument, ARetunedKeySoundsFiftyCentsAboveItsBaseNote) {
    for (auto [code, engine] : {std::pair{"vcss", 0.0f}, {"vo1c", 0.2f}})
        plugin().setFromEngineValue(findParameterByName(code), engine);
    live->cord("pl71", "v1si");
    writeTuning(0, bulkDump(0, "Half sharp", {{60, {45, 64, 0}}}));
    ASSERT_TRUE(plugin().loadTuning(0));
    live->render();
    live->midi(0, 0x90, 60, 100);
    std::vector<float> audio;
    for (int i = 0; i < 48; ++i) {
        live->render();
        audio.insert(audio.end(), live->left.begin(), live->left.end());
    }
    const std::vector<float> tail(audio.end() - 16384, audio.end());
    const double expected = 2.0 * base45 * std::pow(2.0, (8192.0 * 100.0 / 16384.0) / 1200.0);
    EXPECT_NEAR(testing::crossingFrequency(tail, 48000), expected, 0.1);
}

} // namespace
} // namespace moraine
