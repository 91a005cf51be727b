// moraine-render: plays notes and Standard MIDI Files through a VST 2 plug-in offline, one
// instance per part, and writes a stereo 32-bit float WAV file, then reports its length,
// peak, clipping and any NaN.
#include "engine/FourCC.h"
#include "engine/graph/JackTable.h"
#include "patch/PatchLibrary.h"
#include "patch/PatchRecord.h"
#include "platform/DataFolder.h"
#include "platform/Messages.h"
#include "patch/ParameterTable.h"
#include "tools/host/VstHost.h"
#include "tools/render/MidiFile.h"

#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

namespace {

constexpr int kExitFailure = 1; // the render itself failed (output file)
constexpr int kExitUsage = 2;   // bad arguments, or the plug-in would not load
constexpr double kMaxSeconds = 3600.0;
constexpr double kTailSeconds = 2.0;     // rendered after the last event by default
constexpr double kProgressSeconds = 5.0; // longer renders show their progress
constexpr int kFirstJackParameter = 89;  // jack J is parameter 89 + J, its value B / 1000
constexpr int kJackCount = 89;

constexpr const char* kUsage =
    "usage: moraine-render [options] --out FILE.wav\n"
    "       moraine-render --list\n"
    "  --out FILE.wav        output file (stereo, 32-bit float)\n"
    "  --plugin PATH         plug-in to load (default: MoraineDeck.so beside this program)\n"
    "  --rate HZ             sample rate, 8000..384000 (default 48000)\n"
    "  --block N             block size, 1..8192 (default 512)\n"
    "  --seconds S           total length (default: the last event + 2 s)\n"
    "  --midi FILE.mid       plays a Standard MIDI File (type 0 or 1)\n"
    "  --note K:V:START:LEN  key 0..127, velocity 1..127, start and length in seconds, on\n"
    "                        MIDI channel 1; repeatable\n"
    "  --patch FILE.qix      starts from this patch file\n"
    "  --bare                starts from the bare circuit (the data folder's reset patch)\n"
    "  --library G/C/P       starts from the library's patch: group, category, patch\n"
    "  --part CH=G/C/P       an instance with that library patch plays MIDI channel CH\n"
    "                        (1..16) alone; repeatable, outputs summed\n"
    "  --list                prints the library's groups, categories and patches\n"
    "  --set P=VALUE         parameter P (index or code such as enva) in its own units,\n"
    "                        on every part; repeatable\n"
    "  --cord A=B            cord between jacks A and B by code (pl71=kbcv); repeatable\n"
    "  --tempo BPM           host tempo, for a MIDI file until its first tempo change\n"
    "                        (default 120)\n"
    "  --gain DB             gain on the summed output, -60..24 dB (default 0)\n"
    "  --quiet               no summary\n";

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct Note {
    int key = 0;
    int velocity = 0;
    double start = 0.0;
    double length = 0.0;
};

// A parameter change as the host makes it: index and host value.
struct Setting {
    std::string argument; // as given, for messages
    int index = -1;
    float value = 0.0f;
};

// An instance that plays one MIDI channel with a library patch.
struct PartOption {
    int channel = 0; // 0..15
    std::string path;
};

struct Options {
    std::string plugin;
    std::string out;
    std::string midi;
    std::string patchFile;
    std::string libraryPath;
    std::vector<PartOption> parts;
    bool list = false;
    bool bare = false;
    int rate = 48000;
    int block = 512;
    std::optional<double> seconds;
    double tempo = 120.0;
    double gainDb = 0.0;
    bool quiet = false;
    std::vector<Note> notes;
    std::vector<Setting> settings; // in command-line order
};

// ---- Argument parsing ------------------------------------------------------------------

int parseInt(std::string_view text, int lo, int hi, const char* what) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < lo || value > hi)
        throw UsageError(std::string(what) + " must be a whole number from " + std::to_string(lo) +
                         " to " + std::to_string(hi) + ", not '" + std::string(text) + "'");
    return value;
}

double parseNumber(std::string_view text, double lo, double hi, const char* what) {
    double value = 0.0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value) ||
        value < lo || value > hi) {
        char range[64];
        std::snprintf(range, sizeof range, " must be a number from %g to %g", lo, hi);
        throw UsageError(std::string(what) + range + ", not '" + std::string(text) + "'");
    }
    return value;
}

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    for (;;) {
        const auto at = text.find(separator);
        parts.push_back(text.substr(0, at));
        if (at == std::string_view::npos) return parts;
        text.remove_prefix(at + 1);
    }
}

Note parseNote(std::string_view text) {
    const auto parts = split(text, ':');
    if (parts.size() != 4)
        throw UsageError("--note wants KEY:VEL:START:LENGTH, not '" + std::string(text) + "'");
    Note note;
    note.key = parseInt(parts[0], 0, 127, "the note's key");
    note.velocity = parseInt(parts[1], 1, 127, "the note's velocity");
    note.start = parseNumber(parts[2], 0.0, kMaxSeconds, "the note's start");
    note.length = parseNumber(parts[3], 0.0, kMaxSeconds, "the note's length");
    if (note.length <= 0.0) throw UsageError("the note's length must be above 0");
    return note;
}

Setting parseSet(std::string_view text) {
    const auto at = text.find('=');
    if (at == std::string_view::npos || at == 0)
        throw UsageError("--set wants NAME=VALUE (index or four-character code), not '" +
                         std::string(text) + "'");
    Setting s;
    s.argument = "--set " + std::string(text);
    const std::string target(text.substr(0, at));
    s.index = moraine::findParameterByName(target.c_str());
    if (s.index < 1 || s.index >= moraine::kParamCount)
        throw UsageError("--set: no parameter '" + target + "' (give an index 1..178 or a code)");
    // Values are in the parameter's own units: seconds, volts, jack numbers ...
    const moraine::ParameterInfo& info = moraine::parameterInfo(s.index);
    const bool jack = s.index >= moraine::kFirstJackParam;
    const double lo = jack ? 0.0 : std::min(info.minimum, info.maximum);
    const double hi = jack ? double(kJackCount) : std::max(info.minimum, info.maximum);
    const float engine = float(parseNumber(text.substr(at + 1), lo, hi, "the --set value"));
    s.value = moraine::engineToHost(s.index, engine);
    return s;
}

Setting parseCord(std::string_view text) {
    const auto parts = split(text, '=');
    if (parts.size() != 2)
        throw UsageError("--cord wants A=B with two jack codes, not '" + std::string(text) + "'");
    int ends[2];
    for (int i = 0; i < 2; ++i) {
        const std::string code(parts[i]);
        ends[i] =
            code.size() == 4 ? moraine::jackNumber(moraine::fourccFromText(code.c_str())) : -1;
        if (ends[i] < 1) throw UsageError("--cord: no jack '" + code + "'");
    }
    if (ends[0] == ends[1]) throw UsageError("--cord: a cord needs two different jacks");
    // The cord is stored on one end's parameter; the last jack's is beyond the host's
    // reach, so such a cord goes on the other end.
    if (kFirstJackParameter + ends[0] >= moraine::kHostParamCount) std::swap(ends[0], ends[1]);
    Setting s;
    s.argument = "--cord " + std::string(text);
    s.index = kFirstJackParameter + ends[0];
    s.value = float(ends[1]) / 1000.0f;
    return s;
}

PartOption parsePart(std::string_view text) {
    const auto at = text.find('=');
    if (at == std::string_view::npos || at + 1 == text.size())
        throw UsageError("--part wants CHANNEL=Group/Category/Patch, not '" + std::string(text) +
                         "'");
    return {parseInt(text.substr(0, at), 1, 16, "the --part channel") - 1,
            std::string(text.substr(at + 1))};
}

std::string defaultPluginPath() {
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string("MoraineDeck.so") : (self.parent_path() / "MoraineDeck.so").string();
}

// What each option that takes a value does with it.
using OptionHandler = void (*)(Options&, const std::string&);
const std::pair<std::string_view, OptionHandler> kValueOptions[] = {
    {"--out", [](Options& o, const std::string& v) { o.out = v; }},
    {"--plugin", [](Options& o, const std::string& v) { o.plugin = v; }},
    {"--rate",
     [](Options& o, const std::string& v) { o.rate = parseInt(v, 8000, 384000, "--rate"); }},
    {"--block",
     [](Options& o, const std::string& v) { o.block = parseInt(v, 1, 8192, "--block"); }},
    {"--seconds",
     [](Options& o, const std::string& v) {
         o.seconds = parseNumber(v, 0.0, kMaxSeconds, "--seconds");
         if (*o.seconds <= 0.0) throw UsageError("--seconds must be above 0");
     }},
    {"--note", [](Options& o, const std::string& v) { o.notes.push_back(parseNote(v)); }},
    {"--set", [](Options& o, const std::string& v) { o.settings.push_back(parseSet(v)); }},
    {"--cord", [](Options& o, const std::string& v) { o.settings.push_back(parseCord(v)); }},
    {"--tempo",
     [](Options& o, const std::string& v) { o.tempo = parseNumber(v, 1.0, 999.0, "--tempo"); }},
    {"--gain",
     [](Options& o, const std::string& v) { o.gainDb = parseNumber(v, -60.0, 24.0, "--gain"); }},
    {"--midi", [](Options& o, const std::string& v) { o.midi = v; }},
    {"--patch", [](Options& o, const std::string& v) { o.patchFile = v; }},
    {"--library", [](Options& o, const std::string& v) { o.libraryPath = v; }},
    {"--part", [](Options& o, const std::string& v) { o.parts.push_back(parsePart(v)); }},
};

// Options take their value as the next argument or after '='. Null means --help.
std::optional<Options> parseArguments(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        std::optional<std::string> inlineValue;
        if (const auto eq = option.find('='); option.starts_with("--") && eq != std::string::npos) {
            inlineValue = option.substr(eq + 1);
            option.resize(eq);
        }

        if (option == "--help" || option == "-h") return std::nullopt;
        if (option == "--quiet" || option == "--list" || option == "--bare") {
            if (inlineValue) throw UsageError(option + " takes no value");
            (option == "--quiet" ? o.quiet : option == "--list" ? o.list : o.bare) = true;
            continue;
        }
        const auto* handler = std::find_if(std::begin(kValueOptions), std::end(kValueOptions),
                                           [&](const auto& h) { return h.first == option; });
        if (handler == std::end(kValueOptions))
            throw UsageError("unknown argument '" + option + "'");
        if (!inlineValue && i + 1 >= argc) throw UsageError(option + " needs a value");
        handler->second(o, inlineValue ? *inlineValue : std::string(argv[++i]));
    }
    if (o.out.empty() && !o.list) throw UsageError("--out FILE.wav is required");
    if (int(!o.patchFile.empty()) + int(!o.libraryPath.empty()) + int(o.bare) > 1)
        throw UsageError("--patch, --library and --bare all choose the patch; give one");
    if (!o.parts.empty() && (!o.patchFile.empty() || !o.libraryPath.empty()))
        throw UsageError("with --part each part names its own patch; drop --patch and --library");
    for (std::size_t i = 0; i < o.parts.size(); ++i)
        for (std::size_t j = 0; j < i; ++j)
            if (o.parts[i].channel == o.parts[j].channel)
                throw UsageError("--part: channel " + std::to_string(o.parts[i].channel + 1) +
                                 " has two parts");
    if (o.plugin.empty()) o.plugin = defaultPluginPath();
    return o;
}

// ---- Events ----------------------------------------------------------------------------

struct MidiEvent {
    long long frame;
    uint8_t status, data1, data2;
    int channel() const { return status & 15; }
};

// Note-offs go before note-ons on the same frame, so that a repeated key sounds again.
std::vector<MidiEvent> noteEvents(const std::vector<Note>& notes, int rate) {
    std::vector<MidiEvent> events;
    for (const Note& n : notes) {
        const auto on = std::llround(n.start * rate);
        const auto off = std::max(std::llround((n.start + n.length) * rate), on + 1);
        events.push_back({on, uint8_t(0x90), uint8_t(n.key), uint8_t(n.velocity)});
        events.push_back({off, uint8_t(0x80), uint8_t(n.key), uint8_t(64)});
    }
    std::stable_sort(events.begin(), events.end(), [](const MidiEvent& a, const MidiEvent& b) {
        if (a.frame != b.frame) return a.frame < b.frame;
        return a.status == 0x80 && b.status != 0x80;
    });
    return events;
}

// The file's events at their frames, after the --note events of the same frame.
std::vector<MidiEvent> allEvents(const std::vector<Note>& notes,
                                 const moraine::render::MidiSong& song, int rate) {
    std::vector<MidiEvent> events = noteEvents(notes, rate);
    const std::size_t fromNotes = events.size();
    for (const auto& e : song.events)
        events.push_back({std::llround(e.seconds * rate), e.status, e.data1, e.data2});
    std::inplace_merge(events.begin(), events.begin() + std::ptrdiff_t(fromNotes), events.end(),
                       [](const MidiEvent& a, const MidiEvent& b) { return a.frame < b.frame; });
    return events;
}

double lastEventSeconds(const std::vector<Note>& notes, const moraine::render::MidiSong& song) {
    double end = song.end;
    for (const Note& n : notes) end = std::max(end, n.start + n.length);
    return end;
}

// ---- Patches ---------------------------------------------------------------------------

struct PatchError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::string joinNames(const std::vector<std::string>& names) {
    if (names.empty()) return "none";
    std::string text;
    for (const std::string& n : names) text += (text.empty() ? "" : ", ") + ("'" + n + "'");
    return text;
}

// The first name of a path, for messages: names may hold '/', the lookup copes with that.
std::string firstName(std::string_view rest) {
    return std::string(rest.substr(0, rest.find('/')));
}

// "Group/Category/Patch" by names. When nothing matches, the message names what exists at
// the level that failed.
const moraine::PatchRecord& findPatch(const moraine::PatchLibrary& library,
                                      const std::string& path) {
    const auto startsWith = [&](const std::string& prefix) {
        return path.size() > prefix.size() && path.starts_with(prefix);
    };
    std::vector<const moraine::PatchGroup*> groups;
    std::vector<const moraine::PatchCategory*> categories;
    for (const auto& g : library.groups) {
        if (!startsWith(g->name + "/")) continue;
        groups.push_back(g.get());
        for (const auto& c : g->categories) {
            const std::string prefix = g->name + "/" + c->name + "/";
            if (!startsWith(prefix)) continue;
            categories.push_back(c.get());
            for (const auto& p : c->patches)
                if (path == prefix + p->name) return *p;
        }
    }
    if (groups.empty()) {
        std::vector<std::string> names;
        for (const auto& g : library.groups) names.push_back(g->name);
        throw PatchError("no group '" + firstName(path) +
                         "' in the library; its groups: " + joinNames(names));
    }
    if (categories.empty()) {
        const moraine::PatchGroup& g = *groups.front();
        std::vector<std::string> names;
        for (const auto& c : g.categories) names.push_back(c->name);
        throw PatchError("no category '" + firstName(path.substr(g.name.size() + 1)) +
                         "' in group '" + g.name + "'; its categories: " + joinNames(names));
    }
    const moraine::PatchCategory& c = *categories.front();
    std::string where;
    for (const moraine::PatchGroup* g : groups)
        for (const auto& candidate : g->categories)
            if (candidate.get() == &c) where = g->name + "/" + c.name;
    std::vector<std::string> names;
    for (const auto& p : c.patches) names.push_back(p->name);
    throw PatchError("no patch '" + path.substr(where.size() + 1) + "' in '" + where +
                     "'; its patches: " + joinNames(names));
}

// As the library shows a patch: its MIDI program (counted from 1) before the name.
std::string shownName(const moraine::PatchRecord& patch) {
    if (patch.midiProgram < 0) return patch.name;
    return std::to_string(patch.midiProgram + 1) + ": " + patch.name;
}

void printLibrary(FILE* out, const moraine::PatchLibrary& library) {
    for (const auto& g : library.groups) {
        std::fprintf(out, "%s\n", g->name.c_str());
        for (const auto& c : g->categories) {
            std::fprintf(out, "  %s\n", c->name.c_str());
            if (c->patches.empty()) std::fprintf(out, "    %s\n", moraine::kNoPatchName);
            for (const auto& p : c->patches) std::fprintf(out, "    %s\n", shownName(*p).c_str());
        }
    }
}

std::string readPatchFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw PatchError(path + ": cannot open the patch file");
    std::stringstream text;
    text << in.rdbuf();
    // The plug-in takes any text and keeps what it understands (a missing master volume
    // reads as full); a file in which it finds no other value is not a patch.
    moraine::PatchRecord check;
    check.readText(std::string_view(text.str()));
    const bool values = std::any_of(check.values.begin(), check.values.end(), [](const auto& v) {
        return v.code != moraine::fourcc("mvol");
    });
    if (!values) throw PatchError(path + ": not a patch file");
    return text.str();
}

// ---- Rendering -------------------------------------------------------------------------

struct Levels {
    float peak = 0.0f;
    long long clipped = 0;
    long long nans = 0;

    void add(float x) {
        if (std::isnan(x)) {
            ++nans;
            return;
        }
        const float a = std::fabs(x);
        peak = std::max(peak, a);
        if (a > 1.0f) ++clipped;
    }
};

// The plug-in decides how many of its parameters the host may reach.
bool checkSettings(moraine::PluginInstance& plugin, const std::vector<Setting>& settings) {
    for (const Setting& s : settings) {
        if (s.index >= plugin.numParams()) {
            std::fprintf(stderr, "moraine-render: %s: the plug-in has only %d parameters\n",
                         s.argument.c_str(), plugin.numParams());
            return false;
        }
    }
    return true;
}

class Renderer {
public:
    Renderer(moraine::PluginInstance& plugin, int block)
        : plugin_(plugin), block_(block),
          channels_(std::size_t(plugin.numOutputs()) * std::size_t(block), 0.0f),
          rows_(std::size_t(plugin.numOutputs())), interleaved_(2 * std::size_t(block)) {
        for (std::size_t c = 0; c < rows_.size(); ++c)
            rows_[c] = channels_.data() + c * std::size_t(block);
    }

    // Renders n <= block frames. The first two outputs become left and right; a mono
    // plug-in plays on both.
    const float* render(int n) {
        plugin_.process(nullptr, rows_.data(), n);
        const float* left = rows_[0];
        const float* right = rows_.size() > 1 ? rows_[1] : rows_[0];
        for (int i = 0; i < n; ++i) {
            interleaved_[2 * std::size_t(i)] = left[i];
            interleaved_[2 * std::size_t(i) + 1] = right[i];
        }
        return interleaved_.data();
    }

    int block() const { return block_; }

private:
    moraine::PluginInstance& plugin_;
    int block_;
    std::vector<float> channels_;
    std::vector<float*> rows_;
    std::vector<float> interleaved_;
};

// One plug-in instance and the events it hears.
struct Part {
    int channel = -1; // -1: every channel
    std::optional<std::string> chunk;
    std::unique_ptr<moraine::PluginInstance> plugin;
    std::unique_ptr<Renderer> renderer;

    bool hears(const MidiEvent& e) const { return channel < 0 || e.channel() == channel; }
};

std::string decibels(float peak) {
    if (peak <= 0.0f) return "-inf dBFS";
    char text[32];
    std::snprintf(text, sizeof text, "%.2f dBFS", 20.0 * std::log10(double(peak)));
    return text;
}

class Progress {
public:
    Progress(long long total, bool show) : total_(total), show_(show) {}
    void update(long long done) {
        if (!show_) return;
        const int percent = int(done * 100 / total_);
        if (percent == shown_) return;
        shown_ = percent;
        std::fprintf(stderr, "\rRendering: %3d%%", percent);
        std::fflush(stderr);
    }
    void finish() {
        if (show_ && shown_ >= 0) std::fputc('\n', stderr);
    }

private:
    long long total_;
    bool show_;
    int shown_ = -1;
};

std::unique_ptr<moraine::PluginInstance> loadPlugin(const Options& o) {
    moraine::HostConfig config;
    config.sampleRate = float(o.rate);
    config.blockSize = o.block;
    config.tempo = o.tempo;
    std::string error;
    auto plugin = moraine::PluginInstance::load(o.plugin, &error, config);
    if (!plugin) {
        std::fprintf(stderr, "moraine-render: %s\n", error.c_str());
        return nullptr;
    }
    if (plugin->numOutputs() < 1) {
        std::fprintf(stderr, "moraine-render: %s has no outputs\n", o.plugin.c_str());
        return nullptr;
    }
    return plugin;
}

// `out` takes the listing and the summary.
int run(Options o, FILE* out) {
    moraine::render::MidiSong song{{}, moraine::render::TempoMap(o.tempo), 0.0};
    std::vector<Part> parts(std::max<std::size_t>(o.parts.size(), 1));
    try {
        if (!o.midi.empty()) song = moraine::render::readMidiFile(o.midi, o.tempo);
        if (!o.patchFile.empty()) parts[0].chunk = readPatchFile(o.patchFile);
    } catch (const std::runtime_error& e) {
        std::fprintf(stderr, "moraine-render: %s\n", e.what());
        return kExitUsage;
    }

    // The first instance builds the library in an empty data folder, as at any first start;
    // only then is there a library to look patches up in.
    parts[0].plugin = loadPlugin(o);
    if (!parts[0].plugin) return kExitUsage;
    // The reset patch exists once an instance has started in the data folder.
    if (o.bare) {
        try {
            parts[0].chunk = readPatchFile(moraine::defaultDataFolder() + "reset.qix");
        } catch (const std::runtime_error& e) {
            std::fprintf(stderr, "moraine-render: %s\n", e.what());
            return kExitUsage;
        }
    }
    if (o.list || !o.libraryPath.empty() || !o.parts.empty()) {
        moraine::ConsoleMessages messages;
        const moraine::PatchLibrary library(moraine::defaultDataFolder(), messages);
        if (o.list) {
            printLibrary(out, library);
            return 0;
        }
        try {
            if (!o.libraryPath.empty()) parts[0].chunk = findPatch(library, o.libraryPath).text();
            for (std::size_t i = 0; i < o.parts.size(); ++i) {
                parts[i].channel = o.parts[i].channel;
                parts[i].chunk = findPatch(library, o.parts[i].path).text();
            }
        } catch (const PatchError& e) {
            std::fprintf(stderr, "moraine-render: %s\n", e.what());
            return kExitUsage;
        }
    }

    for (Part& part : parts) {
        if (!part.plugin) part.plugin = loadPlugin(o);
        if (!part.plugin || !checkSettings(*part.plugin, o.settings)) return kExitUsage;
        moraine::PluginInstance& plugin = *part.plugin;
        // As a host restores a project: the state goes in before processing starts.
        plugin.open();
        plugin.setSampleRate(float(o.rate));
        plugin.setBlockSize(o.block);
        if (part.chunk) plugin.setChunk(*part.chunk);
        plugin.resume();
        for (const Setting& s : o.settings) plugin.setParameter(s.index, s.value);
        part.renderer = std::make_unique<Renderer>(plugin, o.block);
        // One block of silence, not written, so that parameter ramps start before any note.
        part.renderer->render(o.block);
    }

    const double seconds = o.seconds.value_or(lastEventSeconds(o.notes, song) + kTailSeconds);
    const long long total = std::llround(seconds * o.rate);
    const std::vector<MidiEvent> events = allEvents(o.notes, song, o.rate);
    // Blocks end at tempo changes, so that each block has one tempo.
    std::vector<long long> tempoFrames;
    for (const auto& span : song.tempo.spans())
        tempoFrames.push_back(std::llround(span.seconds * o.rate));

    SF_INFO info{};
    info.samplerate = o.rate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(o.out.c_str(), SFM_WRITE, &info);
    if (!file) {
        std::fprintf(stderr, "moraine-render: cannot write %s: %s\n", o.out.c_str(),
                     sf_strerror(nullptr));
        return kExitFailure;
    }

    Levels levels;
    Progress progress(total, !o.quiet && seconds > kProgressSeconds);
    std::vector<float> mix(2 * std::size_t(o.block));
    // Several parts together easily pass full scale; the gain brings the sum back.
    const float gain = float(std::pow(10.0, o.gainDb / 20.0));
    auto next = events.begin();
    auto nextTempo = tempoFrames.begin();
    for (long long pos = 0; pos < total;) {
        while (nextTempo != tempoFrames.end() && *nextTempo <= pos) ++nextTempo;
        long long end = std::min<long long>(pos + o.block, total);
        if (nextTempo != tempoFrames.end()) end = std::min(end, *nextTempo);
        const int n = int(end - pos);

        const double now = double(pos) / o.rate;
        const double bpm = song.tempo.spanAt(now).bpm;
        const double ppq = song.tempo.ppqAt(now);
        for (Part& part : parts) {
            part.plugin->setTempo(bpm);
            part.plugin->setMusicalPosition(ppq);
        }
        for (; next != events.end() && next->frame < end; ++next)
            for (Part& part : parts)
                if (part.hears(*next))
                    part.plugin->queueMidi(int(next->frame - pos), next->status, next->data1,
                                           next->data2);

        std::fill_n(mix.begin(), 2 * n, 0.0f);
        for (Part& part : parts) {
            const float* frames = part.renderer->render(n);
            for (int i = 0; i < 2 * n; ++i) mix[std::size_t(i)] += frames[i];
        }
        if (o.gainDb != 0.0)
            for (int i = 0; i < 2 * n; ++i) mix[std::size_t(i)] *= gain;
        for (int i = 0; i < 2 * n; ++i) levels.add(mix[std::size_t(i)]);
        if (sf_writef_float(file, mix.data(), n) != n) {
            progress.finish();
            std::fprintf(stderr, "moraine-render: writing %s failed: %s\n", o.out.c_str(),
                         sf_strerror(file));
            sf_close(file);
            return kExitFailure;
        }
        pos = end;
        progress.update(pos);
    }
    progress.finish();
    if (sf_close(file) != 0) {
        std::fprintf(stderr, "moraine-render: closing %s failed\n", o.out.c_str());
        return kExitFailure;
    }

    if (!o.quiet) {
        std::fprintf(out, "Output:  %s\n", o.out.c_str());
        std::fprintf(out, "Length:  %.3f s (%lld frames at %d Hz)\n", double(total) / o.rate, total,
                     o.rate);
        std::fprintf(out, "Peak:    %s\n", decibels(levels.peak).c_str());
        std::fprintf(out, "Clipped: %lld samples\n", levels.clipped);
        if (levels.nans)
            std::fprintf(out, "NaN:     yes, %lld samples\n", levels.nans);
        else
            std::fprintf(out, "NaN:     none\n");
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::optional<Options> options;
    try {
        options = parseArguments(argc, argv);
    } catch (const UsageError& e) {
        std::fprintf(stderr, "moraine-render: %s\n%s", e.what(), kUsage);
        return kExitUsage;
    }
    if (!options) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    // The plug-in and the patch code trace what they do on standard output; those lines go
    // to standard error, so that standard output holds the listing or the summary alone.
    std::fflush(stdout);
    const int ours = dup(STDOUT_FILENO);
    FILE* out = ours >= 0 ? fdopen(ours, "w") : nullptr;
    if (out) dup2(STDERR_FILENO, STDOUT_FILENO);
    const int status = run(std::move(*options), out ? out : stdout);
    if (out) std::fclose(out);
    return status;
}
