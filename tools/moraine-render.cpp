// moraine-render: plays notes through a VST 2 plug-in offline and writes a stereo 32-bit
// float WAV file, then reports its length, peak, clipping and any NaN.
#include "engine/FourCC.h"
#include "engine/graph/JackTable.h"
#include "plugin/ParameterTable.h"
#include "tools/host/VstHost.h"

#include <sndfile.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <optional>
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
constexpr double kTailSeconds = 2.0;    // rendered after the last note ends by default
constexpr int kFirstJackParameter = 89; // jack J is parameter 89 + J, its value B / 1000
constexpr int kJackCount = 89;

constexpr const char* kUsage =
    "usage: moraine-render [options] --out FILE.wav\n"
    "  --out FILE.wav        output file (stereo, 32-bit float)\n"
    "  --plugin PATH         plug-in to load (default: MoraineDeck.so beside this program)\n"
    "  --rate HZ             sample rate, 8000..384000 (default 48000)\n"
    "  --block N             block size, 1..8192 (default 512)\n"
    "  --seconds S           total length (default: end of the last note + 2 s)\n"
    "  --note K:V:START:LEN  key 0..127, velocity 1..127, start and length in seconds;\n"
    "                        repeatable\n"
    "  --set P=VALUE         parameter P (index or code such as enva) in its own units;\n"
    "                        repeatable\n"
    "  --cord A=B            cord between jacks A and B by code (pl71=kbcv); repeatable\n"
    "  --tempo BPM           host tempo (default 120)\n"
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

struct Options {
    std::string plugin;
    std::string out;
    int rate = 48000;
    int block = 512;
    std::optional<double> seconds;
    double tempo = 120.0;
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
        if (option == "--quiet") {
            if (inlineValue) throw UsageError("--quiet takes no value");
            o.quiet = true;
            continue;
        }
        const auto* handler = std::find_if(std::begin(kValueOptions), std::end(kValueOptions),
                                           [&](const auto& h) { return h.first == option; });
        if (handler == std::end(kValueOptions))
            throw UsageError("unknown argument '" + option + "'");
        if (!inlineValue && i + 1 >= argc) throw UsageError(option + " needs a value");
        handler->second(o, inlineValue ? *inlineValue : std::string(argv[++i]));
    }
    if (o.out.empty()) throw UsageError("--out FILE.wav is required");
    if (o.plugin.empty()) o.plugin = defaultPluginPath();
    return o;
}

// ---- Rendering -------------------------------------------------------------------------

struct MidiEvent {
    long long frame;
    uint8_t status, data1, data2;
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

double defaultSeconds(const std::vector<Note>& notes) {
    double end = 0.0;
    for (const Note& n : notes) end = std::max(end, n.start + n.length);
    return end + kTailSeconds;
}

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

std::string decibels(float peak) {
    if (peak <= 0.0f) return "-inf dBFS";
    char text[32];
    std::snprintf(text, sizeof text, "%.2f dBFS", 20.0 * std::log10(double(peak)));
    return text;
}

int run(Options o) {
    moraine::HostConfig config;
    config.sampleRate = float(o.rate);
    config.blockSize = o.block;
    config.tempo = o.tempo;
    std::string error;
    auto plugin = moraine::PluginInstance::load(o.plugin, &error, config);
    if (!plugin) {
        std::fprintf(stderr, "moraine-render: %s\n", error.c_str());
        return kExitUsage;
    }
    if (plugin->numOutputs() < 1) {
        std::fprintf(stderr, "moraine-render: %s has no outputs\n", o.plugin.c_str());
        return kExitUsage;
    }
    if (!checkSettings(*plugin, o.settings)) return kExitUsage;

    plugin->start();
    for (const Setting& s : o.settings) plugin->setParameter(s.index, s.value);
    Renderer renderer(*plugin, o.block);
    // One block of silence, not written, so that parameter ramps start before any note.
    renderer.render(o.block);

    const double seconds = o.seconds.value_or(defaultSeconds(o.notes));
    const long long total = std::llround(seconds * o.rate);
    const std::vector<MidiEvent> events = noteEvents(o.notes, o.rate);

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
    auto next = events.begin();
    for (long long pos = 0; pos < total;) {
        const int n = int(std::min<long long>(o.block, total - pos));
        for (; next != events.end() && next->frame < pos + n; ++next)
            plugin->queueMidi(int(next->frame - pos), next->status, next->data1, next->data2);
        const float* frames = renderer.render(n);
        for (int i = 0; i < 2 * n; ++i) levels.add(frames[i]);
        if (sf_writef_float(file, frames, n) != n) {
            std::fprintf(stderr, "moraine-render: writing %s failed: %s\n", o.out.c_str(),
                         sf_strerror(file));
            sf_close(file);
            return kExitFailure;
        }
        pos += n;
    }
    if (sf_close(file) != 0) {
        std::fprintf(stderr, "moraine-render: closing %s failed\n", o.out.c_str());
        return kExitFailure;
    }

    if (!o.quiet) {
        std::printf("Output:  %s\n", o.out.c_str());
        std::printf("Length:  %.3f s (%lld frames at %d Hz)\n", double(total) / o.rate, total,
                    o.rate);
        std::printf("Peak:    %s\n", decibels(levels.peak).c_str());
        std::printf("Clipped: %lld samples\n", levels.clipped);
        if (levels.nans)
            std::printf("NaN:     yes, %lld samples\n", levels.nans);
        else
            std::printf("NaN:     none\n");
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
    return run(std::move(*options));
}
