// moraine-render end to end: arguments in, a WAV file out, read back with libsndfile.
#include <gtest/gtest.h>

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Wav {
    int channels = 0, rate = 0;
    std::vector<float> frames; // interleaved
};

bool readWav(const fs::path& path, Wav& wav) {
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (!f) return false;
    wav.channels = info.channels;
    wav.rate = info.samplerate;
    wav.frames.resize(std::size_t(info.frames * info.channels));
    sf_readf_float(f, wav.frames.data(), info.frames);
    sf_close(f);
    return true;
}

class RenderTool : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("moraine-render-test-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    int run(const std::string& args) {
        // A data folder of the test's own, which starts empty like a first start.
        const std::string command = "MORAINE_DATA_DIR=\"" + (dir / "data").string() + "/\" \"" +
                                    MORAINE_RENDER_PATH + "\" --quiet " + args +
                                    " >\"" + (dir / "log").string() + "\" 2>&1";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    fs::path dir;
};

TEST_F(RenderTool, RendersNotesThroughACordIntoAStereoWav) {
    const fs::path out = dir / "out.wav";
    ASSERT_EQ(run("--plugin \"" MORAINE_PLUGIN_PATH "\" --rate 44100 --block 300 --seconds 1 "
                  "--bare --set vcss=0 --cord pl71=kbcv --note 69:100:0.5:0.2 --out \"" +
                  out.string() + "\""),
              0);
    Wav wav;
    ASSERT_TRUE(readWav(out, wav));
    EXPECT_EQ(wav.channels, 2);
    EXPECT_EQ(wav.rate, 44100);
    ASSERT_EQ(wav.frames.size(), 2u * 44100u);
    // The note's keyboard voltage (log2(440 / 10) - 1 V) arrives at the left output at
    // half a second, through the direct input's 0.1 and the DC blocker's 2.
    const std::size_t start = 22050;
    EXPECT_NEAR(wav.frames[2 * start], 0.2 * (std::log2(44.0) - 1.0), 1e-3);
    // Before it, the keyboard voltage of no note has long been removed by the blocker.
    EXPECT_LT(std::fabs(wav.frames[2 * (start - 1)]), 0.2 * (std::log2(44.0) - 1.0));
    for (std::size_t i = 0; i < wav.frames.size(); i += 2) ASSERT_EQ(wav.frames[i + 1], 0.0f);
}

TEST_F(RenderTool, BadArgumentsExitWithStatusTwo) {
    const std::string out = " --out \"" + (dir / "bad.wav").string() + "\"";
    EXPECT_EQ(run("--note 60:100:0" + out), 2);
    EXPECT_EQ(run("--note 200:100:0:1" + out), 2);
    EXPECT_EQ(run("--set nope=1" + out), 2);
    EXPECT_EQ(run("--set enva=1000" + out), 2);
    EXPECT_EQ(run("--cord pl71=pl71" + out), 2);
    EXPECT_EQ(run("--cord pl71=zzzz" + out), 2);
    EXPECT_EQ(run("--rate 100" + out), 2);
    EXPECT_EQ(run("--plugin \"" + (dir / "missing.so").string() + "\"" + out), 2);
    EXPECT_EQ(run("--bare --library 0/0/0" + out), 2);
    EXPECT_FALSE(fs::exists(dir / "bad.wav"));
}

// A fresh data folder starts with the factory library, whose first patch sounds; --bare
// plays the circuit's own settings instead, which are silent.
TEST_F(RenderTool, BareStartsFromTheCircuitsOwnSettings) {
    double peak[2] = {};
    for (int bare = 0; bare < 2; ++bare) {
        const fs::path out = dir / ("out" + std::to_string(bare) + ".wav");
        ASSERT_EQ(run(std::string(bare ? "--bare " : "") + "--note 60:100:0:0.5 --seconds 1 --out \"" +
                      out.string() + "\""),
                  0);
        Wav wav;
        ASSERT_TRUE(readWav(out, wav));
        for (float x : wav.frames) peak[bare] = std::max(peak[bare], double(std::fabs(x)));
    }
    EXPECT_GT(peak[0], 0.01);
    EXPECT_LT(peak[1], 1e-4);
}

} // namespace
