// moraine-render end to end: real MIDI files written with libsmf or byte by byte, patches
// and parts, the real tool run as a process in a data folder of its own, its WAV read back
// with libsndfile and measured.
#include "support/RecordingMessages.h"
#include "support/Spectrum.h"
#include "support/TempDataFolder.h"

#include "patch/PatchLibrary.h"
#include "tools/render/Smf.h"

#include <gtest/gtest.h>

#include <sndfile.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int kPpqn = 480;
constexpr int kRate = 44100;

struct Message {
    int pulses;
    std::vector<unsigned char> bytes;
};

Message noteOn(int pulses, int channel, int key) {
    return {pulses, {(unsigned char)(0x90 | channel), (unsigned char)key, 100}};
}
Message noteOff(int pulses, int channel, int key) {
    return {pulses, {(unsigned char)(0x80 | channel), (unsigned char)key, 0}};
}
Message tempo(int pulses, double bpm) {
    const int us = int(std::lround(60e6 / bpm));
    return {
        pulses,
        {0xFF, 0x51, 3, (unsigned char)(us >> 16), (unsigned char)(us >> 8), (unsigned char)us}};
}

// One track per list (a single list makes a type 0 file).
void writeMidi(const fs::path& path, const std::vector<std::vector<Message>>& tracks) {
    smf_t* smf = smf_new();
    ASSERT_NE(smf, nullptr);
    ASSERT_EQ(smf_set_ppqn(smf, kPpqn), 0);
    for (const auto& messages : tracks) {
        smf_track_t* track = smf_track_new();
        smf_add_track(smf, track);
        for (const Message& m : messages) {
            std::vector<unsigned char> bytes = m.bytes;
            smf_track_add_event_pulses(
                track, smf_event_new_from_pointer(bytes.data(), int(bytes.size())), m.pulses);
        }
    }
    ASSERT_EQ(smf_save(smf, path.c_str()), 0);
    smf_delete(smf);
}

std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// One channel of a WAV, and its format; empty when it cannot be read.
struct Wav {
    int channels = 0, rate = 0;
    std::vector<float> frames; // interleaved
    std::vector<float> channel(int c) const {
        std::vector<float> out;
        for (std::size_t i = std::size_t(c); i < frames.size(); i += std::size_t(channels))
            out.push_back(frames[i]);
        return out;
    }
};
Wav readWav(const fs::path& path) {
    Wav wav;
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (!f) return wav;
    wav.channels = info.channels;
    wav.rate = info.samplerate;
    wav.frames.resize(std::size_t(info.frames * info.channels));
    sf_readf_float(f, wav.frames.data(), info.frames);
    sf_close(f);
    return wav;
}
std::vector<float> readLeft(const fs::path& path) {
    return readWav(path).channel(0);
}

// The first frame from `from` on where the signal jumps by more than `step` in one sample.
long jumpAfter(const std::vector<float>& x, double seconds, double step = 0.1) {
    for (std::size_t i = std::size_t(seconds * kRate) + 1; i < x.size(); ++i)
        if (std::fabs(x[i] - x[i - 1]) > step) return long(i);
    return -1;
}

// Every test has a data folder of its own, which starts empty like a first start (the
// first instance builds the factory library), and keeps its files beside it.
class RenderTool : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(dir); }

    // Runs the tool; stdout and stderr land in `out` and `err`.
    int run(const std::string& args) {
        const std::string command = std::string("\"") + MORAINE_RENDER_PATH + "\" " + args +
                                    " >\"" + (dir / "out").string() + "\" 2>\"" +
                                    (dir / "err").string() + "\"";
        const int status = std::system(command.c_str());
        out = readText(dir / "out");
        err = readText(dir / "err");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string quoted(const std::string& name) const {
        return "\"" + (dir / name).string() + "\"";
    }

    moraine::testing::TempDataFolder data;
    const fs::path dir = fs::path(data.path()) / "files";
    std::string out, err;
};

TEST_F(RenderTool, RendersNotesThroughACordIntoAStereoWav) {
    ASSERT_EQ(run("--quiet --plugin \"" MORAINE_PLUGIN_PATH "\" --rate 44100 --block 300 "
                  "--seconds 1 --bare --set vcss=0 --cord pl71=kbcv --note 69:100:0.5:0.2 --out " +
                  quoted("out.wav")),
              0)
        << err;
    const Wav wav = readWav(dir / "out.wav");
    EXPECT_EQ(wav.channels, 2);
    EXPECT_EQ(wav.rate, 44100);
    ASSERT_EQ(wav.frames.size(), 2u * 44100u);
    // The note's keyboard voltage (log2(440 / 10) - 1 V) arrives at the left output at
    // half a second, through the direct input's 0.1 and the DC blocker's 2.
    const std::size_t start = 22050;
    EXPECT_NEAR(wav.frames[2 * start], 0.2 * (std::log2(44.0) - 1.0), 1e-3);
    // Before it, the keyboard voltage of no note has long been removed by the blocker.
    EXPECT_LT(std::fabs(wav.frames[2 * (start - 1)]), 0.2 * (std::log2(44.0) - 1.0));
    for (float right : wav.channel(1)) ASSERT_EQ(right, 0.0f);
}

// On the bare circuit a cord takes the keyboard voltage straight to the left output, so a
// note shows as a step on the very sample it starts.
constexpr const char* kKeyboardOut = "--quiet --rate 44100 --block 300 --set vcss=0 "
                                     "--cord pl71=kbcv ";

TEST_F(RenderTool, NotesStartOnTheSampleOfTheirTime) {
    // No tempo in the file: 120 BPM, or --tempo. 700 pulses are 1.458 beats.
    writeMidi(dir / "plain.mid", {{noteOn(700, 0, 69), noteOff(900, 0, 69)}});
    ASSERT_EQ(run(kKeyboardOut + std::string("--seconds 1.5 --midi ") + quoted("plain.mid") +
                  " --out " + quoted("a.wav")),
              0)
        << err;
    const auto a = readLeft(dir / "a.wav");
    ASSERT_EQ(a.size(), std::size_t(1.5 * kRate));
    EXPECT_EQ(jumpAfter(a, 0.1), std::lround(700.0 / kPpqn * 0.5 * kRate));

    ASSERT_EQ(run(kKeyboardOut + std::string("--seconds 1.5 --tempo 90 --midi ") +
                  quoted("plain.mid") + " --out " + quoted("b.wav")),
              0);
    EXPECT_EQ(jumpAfter(readLeft(dir / "b.wav"), 0.1), std::lround(700.0 / kPpqn / 1.5 * kRate));

    // Without --seconds the render lasts to the last event and two seconds more.
    ASSERT_EQ(run(kKeyboardOut + std::string("--midi ") + quoted("plain.mid") + " --out " +
                  quoted("c.wav")),
              0);
    EXPECT_EQ(readLeft(dir / "c.wav").size(), std::size_t(std::lround((900.0 / 960 + 2) * kRate)));

    // A type 1 file: the tempo track halves the tempo after two beats (at 1 s); the note
    // one beat later plays at 2 s, not at 1.5 s.
    writeMidi(dir / "tempo.mid", {{tempo(0, 120), tempo(960, 60)},
                                  {noteOn(480, 0, 69), noteOff(900, 0, 69), noteOn(1440, 0, 81),
                                   noteOff(1600, 0, 81)}});
    ASSERT_EQ(run(kKeyboardOut + std::string("--seconds 3 --tempo 200 --midi ") +
                  quoted("tempo.mid") + " --out " + quoted("t.wav")),
              0);
    const auto t = readLeft(dir / "t.wav");
    EXPECT_EQ(jumpAfter(t, 0.1), std::lround(0.5 * kRate)) << "the file's tempo beats --tempo";
    EXPECT_EQ(jumpAfter(t, 0.6), 2 * kRate);
}

TEST_F(RenderTool, TheHostsSongPositionFollowsTheTempoMap) {
    // The internal clock synced to the song position (parameter 82) ticks once a quarter
    // note, its rising edge on the beat; a cord takes it to the left output. At 120 BPM the
    // beats fall at 0.5 s and 1 s; from there on, at 90 BPM, every 2/3 s. The change falls
    // inside a block.
    writeMidi(dir / "clock.mid", {{tempo(0, 120), tempo(960, 90)}});
    ASSERT_EQ(run("--quiet --rate 44100 --block 64 --seconds 3.2 --set 82=1 --cord pl71=pl48 "
                  "--tempo 100 --midi " +
                  quoted("clock.mid") + " --out " + quoted("clock.wav")),
              0)
        << err;
    const auto x = readLeft(dir / "clock.wav");
    std::vector<double> rising;
    for (std::size_t i = 1; i < x.size(); ++i)
        if (x[i] - x[i - 1] > 1.0f) rising.push_back(double(i) / kRate);
    const std::vector<double> beats = {0.5, 1.0, 1.0 + 2.0 / 3.0, 1.0 + 4.0 / 3.0, 3.0};
    ASSERT_EQ(rising.size(), beats.size());
    // The plug-in reads the position once a block, so an edge may come a block late.
    for (std::size_t k = 0; k < beats.size(); ++k)
        EXPECT_NEAR(rising[k], beats[k], 2 * 64.0 / kRate) << k;
}

TEST_F(RenderTool, PartsPlayTheirOwnChannelsAndAreSummed) {
    const std::vector<Message> lead = {noteOn(96, 0, 57), noteOff(1900, 0, 57)};
    const std::vector<Message> bass = {noteOn(96, 1, 70), noteOff(1900, 1, 70)};
    const std::vector<Message> stray = {noteOn(300, 2, 64), noteOff(1900, 2, 64)};
    writeMidi(dir / "parts.mid", {lead, bass, stray});
    writeMidi(dir / "lead.mid", {lead});
    const std::string common = "--quiet --rate 44100 --seconds 1.2 --midi ";
    const std::string leadPart = " --part \"1=Basics/Brass & Leads/Mono Lead\"";
    const std::string bassPart = " --part \"2=Basics/Basses/Round Bass\"";
    const std::string parts = common + quoted("parts.mid");
    ASSERT_EQ(run(parts + leadPart + " --out " + quoted("lead.wav")), 0) << err;
    ASSERT_EQ(run(parts + bassPart + " --out " + quoted("bass.wav")), 0) << err;
    ASSERT_EQ(run(parts + leadPart + bassPart + " --out " + quoted("both.wav")), 0) << err;
    ASSERT_EQ(run(common + quoted("lead.mid") + leadPart + " --out " + quoted("alone.wav")), 0);

    const auto l = readLeft(dir / "lead.wav"), b = readLeft(dir / "bass.wav"),
               both = readLeft(dir / "both.wav");
    // The notes on channels 2 and 3 leave the first part as it plays alone.
    EXPECT_EQ(l, readLeft(dir / "alone.wav"));
    EXPECT_TRUE(moraine::testing::rms(l) > 0.01 && moraine::testing::rms(b) > 0.01);
    for (std::size_t i = 0; i < both.size(); ++i)
        ASSERT_NEAR(both[i], l[i] + b[i], 1e-5f) << "frame " << i;
}

// A fresh data folder starts with the factory library, whose first patch sounds; a patch
// named in the library and the same patch's file sound the same.
TEST_F(RenderTool, PatchesComeFromTheLibraryOrAFile) {
    const std::string note = "--quiet --seconds 0.6 --note 57:100:0.05:0.3 --out ";
    ASSERT_EQ(run(note + quoted("first.wav")), 0) << err;
    ASSERT_EQ(run(note + quoted("named.wav") + " --library \"Basics/Basses/Round Bass\""), 0);
    moraine::testing::RecordingMessages messages;
    moraine::PatchLibrary library(data.path(), messages);
    std::string file;
    for (const auto& g : library.groups)
        for (const auto& c : g->categories)
            for (const auto& p : c->patches)
                if (p->name == "Round Bass") file = p->filePath();
    ASSERT_EQ(run(note + quoted("file.wav") + " --patch \"" + file + "\""), 0) << err;
    const auto named = readLeft(dir / "named.wav"), first = readLeft(dir / "first.wav");
    EXPECT_TRUE(moraine::testing::rms(first) > 0.01 && moraine::testing::rms(named) > 0.01);
    EXPECT_NE(named, first);
    EXPECT_EQ(named, readLeft(dir / "file.wav"));
}

std::string bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) s += char(v);
    return s;
}

// A file made byte by byte: the header (type 1, 480 pulses a quarter) and one chunk per track.
std::string smfBytes(const std::vector<std::string>& tracks) {
    auto be = [](std::size_t v, int bytes) {
        std::string s;
        for (int i = bytes - 1; i >= 0; --i) s += char((v >> (8 * i)) & 0xFF);
        return s;
    };
    std::string file = "MThd" + be(6, 4) + be(1, 2) + be(tracks.size(), 2) + be(kPpqn, 2);
    for (const std::string& t : tracks) file += "MTrk" + be(t.size(), 4) + t;
    return file;
}

// Arguments, patches and MIDI files the tool cannot use: status 2, no file, and where it
// helps, what is wrong (an unknown name says what there is at the level that failed); what
// a render does not use may be anything valid.
TEST_F(RenderTool, WhatCannotBeRenderedExitsWithStatusTwoAndWritesNothing) {
    writeMidi(dir / "good.mid", {{tempo(0, 100), noteOn(0, 0, 60), noteOff(480, 0, 60)},
                                 {noteOn(0, 1, 64), noteOff(480, 1, 64)}});
    const std::string good = readText(dir / "good.mid");
    std::ofstream(dir / "truncated.mid", std::ios::binary) << good.substr(0, good.size() - 9);
    std::ofstream(dir / "empty.mid", std::ios::binary).flush();
    // Whole chunks with damage inside: data without a status, an event cut off by the end
    // of its track, a system message where none belongs.
    const std::string end = bytes({0x00, 0xFF, 0x2F, 0x00});
    std::ofstream(dir / "status.mid", std::ios::binary)
        << smfBytes({bytes({0x00, 0x3C, 0x40}) + end});
    std::ofstream(dir / "cut.mid", std::ios::binary) << smfBytes({end, bytes({0x00, 0x90, 0x3C})});
    std::ofstream(dir / "system.mid", std::ios::binary)
        << smfBytes({bytes({0x00, 0xF4, 0x00}) + end});
    std::ofstream(dir / "noise.qix") << "just some words\n";
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"--note 60:100:0", {}},
        {"--set nope=1", {}},
        {"--cord pl71=pl71", {}},
        {"--rate 100", {}},
        {"--plugin " + quoted("missing.so"), {}},
        {"--bare --library 0/0/0", {}},
        {"--library \"Basics/Pads/Slow Strings\"", {"'Pads'", "'Brass & Leads', ", "'Basses'"}},
        {"--library \"Textures/Pads/Fast Strings\"", {"'Slow Strings'"}},
        {"--part \"2=Nowhere/Pads/Slow Strings\"", {"'Basics', 'Textures'"}},
        {"--part \"17=Textures/Pads/Slow Strings\"", {}},
        {"--patch " + quoted("noise.qix"), {"not a patch file"}},
        {"--patch " + quoted("missing.qix"), {}},
    };
    for (const auto& [args, says] : cases) {
        SCOPED_TRACE(args);
        EXPECT_EQ(run("--quiet " + args + " --out " + quoted("x.wav")), 2);
        for (const std::string& part : says) EXPECT_NE(err.find(part), std::string::npos) << err;
        EXPECT_FALSE(fs::exists(dir / "x.wav"));
    }
    for (const char* name :
         {"missing.mid", "truncated.mid", "empty.mid", "status.mid", "cut.mid", "system.mid"}) {
        EXPECT_EQ(run("--quiet --midi " + quoted(name) + " --out " + quoted("x.wav")), 2) << name;
        EXPECT_NE(err.find(name), std::string::npos) << err;
        EXPECT_FALSE(fs::exists(dir / "x.wav")) << name;
    }
    EXPECT_EQ(run("--quiet --midi " + quoted("good.mid") + " --out " + quoted("x.wav")), 0) << err;

    // What a render does not use may be anything valid: a name longer than 127 bytes, system
    // exclusive messages, running status, a track without its end. The note-off at 480
    // pulses (0.5 s) still sets the length.
    const std::string name = bytes({0x00, 0xFF, 0x03, 0x81, 0x48}) + std::string(200, 'n');
    const std::string sysex =
        bytes({0x00, 0xF0, 0x03, 0x7E, 0x7F, 0xF7, 0x00, 0xF7, 0x02, 0xF8, 0xFA});
    const std::string notes = bytes({0x00, 0x90, 0x45, 0x64, 0x83, 0x60, 0x45, 0x00});
    std::ofstream(dir / "rich.mid", std::ios::binary) << smfBytes({name + sysex + notes + end, ""});
    ASSERT_EQ(run("--quiet --midi " + quoted("rich.mid") + " --out " + quoted("rich.wav")), 0)
        << err;
    EXPECT_EQ(readLeft(dir / "rich.wav").size(), std::size_t(2.5 * 48000));
}

} // namespace
