// A fresh data folder for one test: MORAINE_DATA_DIR points at it while the object lives,
// so nothing reads or writes the user's own folder.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

namespace moraine::testing {

class TempDataFolder {
public:
    TempDataFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "moraine-data-XXXXXX").string();
        if (char* made = mkdtemp(pattern.data())) path_ = std::string(made) + "/";
        if (const char* old = std::getenv("MORAINE_DATA_DIR")) old_ = old;
        setenv("MORAINE_DATA_DIR", path_.c_str(), 1);
    }
    ~TempDataFolder() {
        old_ ? setenv("MORAINE_DATA_DIR", old_->c_str(), 1) : unsetenv("MORAINE_DATA_DIR");
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    TempDataFolder(const TempDataFolder&) = delete;
    TempDataFolder& operator=(const TempDataFolder&) = delete;

    const std::string& path() const { return path_; }
    void write(const std::string& name, const std::string& text) const {
        std::ofstream(path_ + name, std::ios::binary) << text;
    }
    std::string read(const std::string& name) const {
        std::ifstream in(path_ + name, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    bool exists(const std::string& name) const { return std::filesystem::exists(path_ + name); }

private:
    std::string path_;
    std::optional<std::string> old_; // the folder in force before, if any
};

} // namespace moraine::testing
