// Builds a library archive (the dump that "defaultLibrary" holds) from a recipe file:
//   moraine-library RECIPES OUT
//   moraine-library --check RECIPES FILE   (exit 1 when FILE is not what RECIPES make)
// Each patch starts from the circuit's start-up settings in a fresh instrument, takes its
// recipe's settings, cords and MIDI entries, and is captured as the panel would save it.
#include "engine/graph/JackTable.h"
#include "patch/PatchLibrary.h"
#include "plugin/MorainePlugin.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace moraine;

struct MidiRecipe {
    int target = 0, source = 0, curve = 0, invert = 0;
    float low = 0.0f, high = 127.0f;
};

struct Recipe {
    std::string group, category, name, author, date, notes;
    int program = -1;
    std::vector<std::pair<int, float>> settings; // parameter index, engine value
    std::vector<MidiRecipe> midi;
    int line = 0;
};

class RecipeError : public std::runtime_error {
public:
    RecipeError(int line, const std::string& what)
        : std::runtime_error("line " + std::to_string(line) + ": " + what) {}
};

std::string trim(const std::string& s) {
    const size_t a = s.find_first_not_of(" \t\r");
    if (a == std::string::npos) return "";
    return s.substr(a, s.find_last_not_of(" \t\r") - a + 1);
}

float number(const std::string& text, int line) {
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (text.empty() || *end) throw RecipeError(line, "not a number: '" + text + "'");
    return float(v);
}

int parameter(const std::string& code, int line) {
    const int index = findParameterByName(code.c_str());
    if (index < 2) throw RecipeError(line, "no parameter '" + code + "'");
    return index;
}

int jack(const std::string& code, int line) {
    const int j = code.size() == 4 ? jackNumber(fourccFromText(code.c_str())) : -1;
    if (j < 1) throw RecipeError(line, "no jack '" + code + "'");
    return j;
}

std::vector<Recipe> readRecipes(std::istream& in) {
    std::vector<Recipe> recipes;
    std::string group, category, text;
    Recipe* open = nullptr;
    int line = 0;
    while (std::getline(in, text)) {
        ++line;
        text = trim(text);
        if (text.empty() || text[0] == '#') continue;
        const size_t space = text.find(' ');
        const std::string word = text.substr(0, space);
        const std::string rest = space == std::string::npos ? "" : trim(text.substr(space + 1));
        if (word == "group" || word == "category") {
            if (open) throw RecipeError(line, "'" + word + "' inside a patch");
            if (rest.empty()) throw RecipeError(line, word + " without a name");
            (word == "group" ? group : category) = rest;
            if (word == "group") category.clear();
        } else if (word == "patch") {
            if (open) throw RecipeError(line, "patch inside a patch");
            if (group.empty() || category.empty())
                throw RecipeError(line, "a patch needs a group and a category first");
            recipes.push_back({group, category, rest, "", "", "", -1, {}, {}, line});
            open = &recipes.back();
        } else if (!open) {
            throw RecipeError(line, "'" + word + "' outside a patch");
        } else if (word == "end") {
            open = nullptr;
        } else if (word == "author") {
            open->author = rest;
        } else if (word == "date") {
            open->date = rest;
        } else if (word == "notes") {
            open->notes += (open->notes.empty() ? "" : "\n") + rest;
        } else if (word == "program") {
            open->program = int(number(rest, line));
            if (open->program < 0 || open->program > 127)
                throw RecipeError(line, "program numbers run from 0 to 127");
        } else if (word == "set" || word == "cord") {
            std::istringstream items(rest);
            std::string item;
            while (items >> item) {
                const size_t eq = item.find('=');
                if (eq == std::string::npos) throw RecipeError(line, "wants A=B: '" + item + "'");
                const std::string a = item.substr(0, eq), b = item.substr(eq + 1);
                if (word == "set") {
                    open->settings.push_back({parameter(a, line), number(b, line)});
                } else {
                    int ends[2] = {jack(a, line), jack(b, line)};
                    // The last jack's parameter is beyond the host's reach; the cord is
                    // stored on the other end, as the panel does.
                    if (kFirstJackParam + ends[0] - 1 >= kHostParamCount) std::swap(ends[0], ends[1]);
                    open->settings.push_back({kFirstJackParam - 1 + ends[0], float(ends[1])});
                }
            }
        } else if (word == "midi") {
            std::istringstream items(rest);
            std::string code, source, low, high, curve = "0", invert = "0";
            if (!(items >> code >> source >> low >> high))
                throw RecipeError(line, "midi CODE SOURCE LOW HIGH [CURVE [INVERT]]");
            items >> curve >> invert;
            MidiRecipe m;
            m.target = parameter(code, line);
            m.source = source == "velocity"   ? kSourceVelocity
                       : source == "modwheel" ? kSourceModWheel
                       : source == "aftertouch"
                           ? kSourceAftertouch
                           : throw RecipeError(line, "no source '" + source + "'");
            m.low = number(low, line);
            m.high = number(high, line);
            m.curve = int(number(curve, line));
            m.invert = int(number(invert, line));
            open->midi.push_back(m);
        } else {
            throw RecipeError(line, "unknown word '" + word + "'");
        }
    }
    if (open) throw RecipeError(open->line, "patch '" + open->name + "' has no end");
    return recipes;
}

class QuietMessages : public MessageSink {
public:
    void inform(const std::string& text) override { last = text; }
    bool confirm(const std::string&) override { return true; }
    std::string last;
};

std::string makeTemporaryFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "moraine-lib-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary folder");
    return pattern + "/";
}

void capturePatch(const Recipe& r, PatchRecord& record) {
    // A fresh instrument on an empty library starts from the circuit's own settings.
    Moraine_VST plugin(nullptr);
    for (const auto& [index, value] : r.settings) plugin.setFromEngineValue(index, value);
    for (const MidiRecipe& m : r.midi) {
        float ranges[4][2] = {{0, 127}, {0, 127}, {0, 127}, {0, 127}};
        int curves[4] = {}, inverts[4] = {};
        const int slot = m.source == kSourceVelocity ? 1 : m.source == kSourceModWheel ? 2 : 3;
        ranges[slot][0] = m.low;
        ranges[slot][1] = m.high;
        curves[slot] = m.curve;
        inverts[slot] = m.invert;
        plugin.midiMap().setEntry(kSourceController | kSourceVelocity | kSourceModWheel |
                                      kSourceAftertouch,
                                  0, 0, m.target, m.source, ranges, curves, inverts);
    }
    plugin.applyPendingControl();
    plugin.capture(record);
}

} // namespace

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

int main(int argc, char** argv) {
    const bool check = argc == 4 && std::string(argv[1]) == "--check";
    if (argc != 3 && !check) {
        std::fprintf(stderr, "usage: moraine-library RECIPES OUT\n"
                             "       moraine-library --check RECIPES FILE\n");
        return 2;
    }
    const char* recipesPath = argv[check ? 2 : 1];
    const std::string target = argv[check ? 3 : 2];
    try {
        std::ifstream in(recipesPath);
        if (!in) throw std::runtime_error(std::string("cannot read ") + recipesPath);
        const std::vector<Recipe> recipes = readRecipes(in);

        // The instruments read an empty library; the archive is built in a second folder.
        const std::string pluginFolder = makeTemporaryFolder();
        const std::string libraryFolder = makeTemporaryFolder();
        std::ofstream(pluginFolder + "groupList").flush();
        std::ofstream(libraryFolder + "groupList").flush();
        setenv("MORAINE_DATA_DIR", pluginFolder.c_str(), 1);

        QuietMessages messages;
        PatchLibrary library(libraryFolder, messages, '/');
        for (const Recipe& r : recipes) {
            int g = 0;
            while (g < int(library.groups.size()) && library.groups[size_t(g)]->name != r.group) ++g;
            if (g == int(library.groups.size())) library.addGroup(r.group, r.category);
            library.selectGroup(g);
            PatchGroup& group = *library.groups[size_t(g)];
            int c = 0;
            while (c < int(group.categories.size()) && group.categories[size_t(c)]->name != r.category)
                ++c;
            if (c == int(group.categories.size())) library.addCategory(r.category);
            library.selectCategory(c);
            // A factory patch's notes say how to play it, so the panel shows them.
            PatchRecord* record = library.addPatch(r.name, r.author, r.date, r.notes,
                                                   r.notes.empty() ? 0 : 1, r.program);
            if (!record) throw RecipeError(r.line, "the patch was not added");
            capturePatch(r, *record);
            record->modified = true;
        }
        std::vector<int> all;
        for (size_t g = 0; g < library.groups.size(); ++g) all.push_back(int(g));
        const std::string out = check ? libraryFolder + "check.qix" : target;
        if (!library.writeDump(out, all, {}, {}, false))
            throw std::runtime_error("cannot write " + out);
        const bool same = !check || readFile(out) == readFile(target);
        std::error_code ignored;
        std::filesystem::remove_all(pluginFolder, ignored);
        std::filesystem::remove_all(libraryFolder, ignored);
        if (!same) {
            std::fprintf(stderr, "%s is not what %s make; run moraine-library %s %s\n",
                         target.c_str(), recipesPath, recipesPath, target.c_str());
            return 1;
        }
        std::printf("%s: %zu patches (%s)\n", target.c_str(), recipes.size(),
                    messages.last.c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "moraine-library: %s\n", e.what());
        return 2;
    }
    return 0;
}
