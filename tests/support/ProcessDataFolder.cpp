// Every test process gets a data folder of its own before any test runs, so instruments
// built by tests that run at the same time never share a library, and nothing reaches the
// user's folder. Its library is empty, so an instrument starts from the circuit's own
// settings; tests that need a particular folder use TempDataFolder on top.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

struct ProcessDataFolder {
    ProcessDataFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "moraine-process-XXXXXX").string();
        if (char* made = mkdtemp(pattern.data())) {
            path = made;
            setenv("MORAINE_DATA_DIR", (path + "/").c_str(), 1);
            std::ofstream(path + "/groupList").flush();
        }
    }
    ~ProcessDataFolder() {
        std::error_code ignored;
        if (!path.empty()) std::filesystem::remove_all(path, ignored);
    }
    std::string path;
};

const ProcessDataFolder folder;

} // namespace
