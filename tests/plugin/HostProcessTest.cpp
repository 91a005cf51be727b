// The built MoraineDeck.so as real hosts use it: scanned from a process of the host's own,
// whose standard output is the host's channel, and saved with a project, reopened and
// saved again.
#include "PluginTestSupport.h"
#include "support/TempDataFolder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

namespace moraine {
namespace {

using testing::SoHost;
using testing::TempDataFolder;

std::string readFile(const std::string& path) {
    std::stringstream s;
    s << std::ifstream(path, std::ios::binary).rdbuf();
    return s.str();
}

// The scanning host on the plug-in with a fresh, empty data folder, in which the instrument
// builds and writes its default library: the most it ever has to say. `verbose` is
// MORAINE_VERBOSE's value, or null for none. Asked for, the diagnostic lines go to standard
// error: one per library patch read, and the files written into the new folder.
TEST(HostProcess, AScanningHostReadsNothingFromThePluginOnItsStandardOutput) {
    using Case = std::pair<const char*, bool>;
    for (auto [verbose, diagnostics] : {Case{nullptr, false}, Case{"0", false}, Case{"1", true}}) {
        SCOPED_TRACE(verbose ? verbose : "unset");
        TempDataFolder data, logs; // the command names its data folder itself
        const std::string command =
            "env -u MORAINE_VERBOSE MORAINE_DATA_DIR='" + data.path() + "' " +
            (verbose ? "MORAINE_VERBOSE='" + std::string(verbose) + "' " : std::string()) + "'" +
            MORAINE_SCANNING_HOST_PATH + "' '" + MORAINE_PLUGIN_PATH + "' >'" + logs.path() +
            "out' 2>'" + logs.path() + "err'";
        const int status = std::system(command.c_str());
        const std::string err = readFile(logs.path() + "err");
        EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0) << err;
        EXPECT_EQ(readFile(logs.path() + "out"), "");
        EXPECT_TRUE(data.exists("groupList")) << "the scan did not build the library";
        for (const char* line : {"found volume info\n", "saved patch "})
            EXPECT_EQ(err.find(line) != std::string::npos, diagnostics) << err;
    }
}

TEST(HostProcess, AProjectSavedReopenedAndSavedAgainHoldsTheSameState) {
    const struct {
        const char* library;
        bool own;           // one group and category of our own, or the factory library
        const char* stored; // the notes flag and program lines the chunk must hold
        const char* first;  // the same after a program change to the group's first patch
    } cases[] = {
        // Round Bass, the factory library's program 6 (shown as 7) in its first group; the
        // factory patches show their notes.
        {"factory", false, "12 : 1\n15 : 6\n", "12 : 1\n15 : 0\n"},
        // "Plain" at program 0 with its notes hidden, "Noted" at program 6 with them shown.
        {"notes shown", true, "12 : 1\n15 : 6\n", "12 : 0\n15 : 0\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.library);
        TempDataFolder folder;
        if (c.own) {
            std::filesystem::create_directories(folder.path() + "0/0");
            folder.write("groupList", "Tests\n");
            folder.write("0/catagoryList", "Cases\n");
            folder.write("0/0/patchList", "Plain\nNoted\n");
            folder.write("0/0/0.qix", "12 : 0\n15 : 0\n4 : PatchName = Plain\n");
            folder.write("0/0/1.qix", "1 : vffc = 0.25\n12 : 1\n15 : 6\n4 : PatchName = Noted\n");
        }
        std::string saved;
        {
            SoHost first;
            ASSERT_TRUE(first.plugin);
            first.midi(0, 0xC0, 6, 0);
            first.play(0.2); // long enough for a patch change's fade out and back in
            saved = first.plugin->getChunk();
        }
        EXPECT_NE(saved.find(c.stored), std::string::npos) << saved;
        // Reopened: a new instance, whose library has its first patch selected.
        SoHost reopened;
        ASSERT_TRUE(reopened.plugin);
        EXPECT_EQ(reopened.plugin->setChunk(saved), 0);
        reopened.play(0.2);
        EXPECT_EQ(reopened.plugin->getChunk(), saved);
        // A program change goes back to the library, and the state says so.
        reopened.midi(0, 0xC0, 0, 0);
        reopened.play(0.2);
        EXPECT_NE(reopened.plugin->getChunk().find(c.first), std::string::npos);
    }
}

} // namespace
} // namespace moraine
