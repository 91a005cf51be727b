// tools/install with an already built plug-in, into a home folder of the test's own.
#include "support/TempDataFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>

namespace {

namespace fs = std::filesystem;
using moraine::testing::TempDataFolder;

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

int install(const TempDataFolder& home, const std::string& args) {
    const std::string command = "HOME='" + home.path() + "' '" MORAINE_INSTALL_PATH "' " + args +
                                " >'" + home.path() + "log' 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Install, PutsThePluginIntoTheUsersVstFolder) {
    TempDataFolder home;
    const std::string plugin = readFile(MORAINE_PLUGIN_PATH);
    ASSERT_FALSE(plugin.empty());
    // An older plug-in that a running host has loaded: it keeps reading the old file.
    fs::create_directories(home.path() + ".vst");
    home.write(".vst/MoraineDeck.so", "the old plug-in");
    std::ifstream loaded(home.path() + ".vst/MoraineDeck.so", std::ios::binary);

    ASSERT_EQ(install(home, "--from '" MORAINE_PLUGIN_PATH "'"), 0) << home.read("log");
    const fs::path installed = home.path() + ".vst/MoraineDeck.so";
    EXPECT_EQ(readFile(installed), plugin);
    EXPECT_NE(fs::status(installed).permissions() & fs::perms::owner_exec, fs::perms::none);
    std::stringstream old;
    old << loaded.rdbuf();
    EXPECT_EQ(old.str(), "the old plug-in");
    size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(home.path() + ".vst")) ++files;
    EXPECT_EQ(files, 1u); // no temporary file left beside it
}

TEST(Install, RefusesWhatItCannotInstallAndInstallsNothing) {
    const struct {
        const char* args;
        int status;
    } cases[] = {{"--from /nonexistent/MoraineDeck.so", 1}, {"--from", 2}, {"--everywhere", 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        TempDataFolder home;
        EXPECT_EQ(install(home, c.args), c.status) << home.read("log");
        EXPECT_FALSE(home.exists(".vst/MoraineDeck.so"));
    }
}

} // namespace
