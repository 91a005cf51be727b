#include "platform/DataFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <optional>
#include <string>

namespace moraine {
namespace {

// Sets or clears environment variables for one test and puts them back afterwards.
class Environment {
public:
    void set(const char* name, const char* value) {
        if (!saved_.count(name)) {
            const char* old = std::getenv(name);
            saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
        }
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~Environment() {
        for (auto& [name, value] : saved_) {
            if (value)
                ::setenv(name.c_str(), value->c_str(), 1);
            else
                ::unsetenv(name.c_str());
        }
    }

private:
    std::map<std::string, std::optional<std::string>> saved_;
};

TEST(DataFolder, TheOverrideWinsAndGetsItsSlash) {
    Environment env;
    env.set("MORAINE_DATA_DIR", "/tmp/moraine-test");
    env.set("XDG_DATA_HOME", "/somewhere/else");
    EXPECT_EQ(defaultDataFolder(), "/tmp/moraine-test/");
    env.set("MORAINE_DATA_DIR", "/tmp/moraine-test/");
    EXPECT_EQ(defaultDataFolder(), "/tmp/moraine-test/");
}

TEST(DataFolder, FollowsTheXdgDataHome) {
    Environment env;
    env.set("MORAINE_DATA_DIR", nullptr);
    env.set("XDG_DATA_HOME", "/data/home");
    EXPECT_EQ(defaultDataFolder(), "/data/home/Larchmere Audio/Moraine Deck/");
}

TEST(DataFolder, FallsBackToTheHomeFolder) {
    Environment env;
    env.set("MORAINE_DATA_DIR", "");
    env.set("XDG_DATA_HOME", "relative/is/ignored");
    env.set("HOME", "/players/one");
    EXPECT_EQ(defaultDataFolder(), "/players/one/.local/share/Larchmere Audio/Moraine Deck/");
}

} // namespace
} // namespace moraine
