// Where the instrument keeps its files: the override (given its slash), else the XDG data
// home when it is absolute, else the home folder.
#include "platform/DataFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace moraine {
namespace {

TEST(DataFolder, OverrideThenXdgDataHomeThenHome) {
    const char* names[] = {"MORAINE_DATA_DIR", "XDG_DATA_HOME", "HOME"};
    auto put = [&](int i, const char* value) {
        value ? ::setenv(names[i], value, 1) : ::unsetenv(names[i]);
    };
    std::optional<std::string> saved[3];
    for (int i = 0; i < 3; ++i)
        if (const char* v = std::getenv(names[i])) saved[i] = v;
    struct Case {
        const char* env[3]; // null: unset
        const char* folder;
    };
    const Case cases[] = {
        {{"/tmp/moraine-test", "/somewhere/else", "/h"}, "/tmp/moraine-test/"},
        {{"/tmp/moraine-test/", "/somewhere/else", "/h"}, "/tmp/moraine-test/"},
        {{nullptr, "/data/home", "/h"}, "/data/home/Larchmere Audio/Moraine Deck/"},
        {{"", "relative/is/ignored", "/players/one"},
         "/players/one/.local/share/Larchmere Audio/Moraine Deck/"},
    };
    for (const Case& c : cases) {
        for (int i = 0; i < 3; ++i) put(i, c.env[i]);
        EXPECT_EQ(defaultDataFolder(), c.folder);
    }
    for (int i = 0; i < 3; ++i) put(i, saved[i] ? saved[i]->c_str() : nullptr);
}

} // namespace
} // namespace moraine
