#include "patch/MidiMap.h"

#include "platform/Files.h"
#include "patch/ParameterTable.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <locale.h>

namespace moraine {

namespace {

bool validTarget(int target) {
    return target >= 1 && target < kParamCount;
}

// Ranges are in 7-bit units; anything else a file or a caller hands over is brought back
// into 0..127 so that a mapped value can never leave its parameter's range.
float cleanRange(float v, float fallback) {
    if (!std::isfinite(v)) return fallback;
    return std::clamp(v, 0.0f, 127.0f);
}

void defaultSlot(MidiMapEntry& e, int slot) {
    e.range[slot][0] = 0.0f;
    e.range[slot][1] = 127.0f;
    e.curve[slot] = 0;
    e.invert[slot] = 0;
}

// Map files are written and read with a '.' decimal point whatever locale the host has
// chosen: a ',' would collide with the field separators.
class CNumericLocale {
public:
    CNumericLocale() {
        static const locale_t c = newlocale(LC_NUMERIC_MASK, "C", locale_t(0));
        if (c) saved_ = uselocale(c);
    }
    ~CNumericLocale() {
        if (saved_) uselocale(saved_);
    }
    CNumericLocale(const CNumericLocale&) = delete;
    CNumericLocale& operator=(const CNumericLocale&) = delete;

private:
    locale_t saved_ = locale_t(0);
};

// A forgiving reader of one line's fields: any mismatch marks the line bad.
struct Fields {
    const char* p;
    bool ok = true;

    void skipBlanks() {
        while (*p == ' ' || *p == '\t' || *p == '\r') ++p;
    }
    int integer() {
        skipBlanks();
        char* end = nullptr;
        errno = 0;
        const long long v = std::strtoll(p, &end, 10);
        if (end == p) ok = false;
        p = end;
        return int(std::clamp<long long>(v, INT_MIN, INT_MAX));
    }
    float real() {
        skipBlanks();
        char* end = nullptr;
        const double v = std::strtod(p, &end);
        if (end == p) ok = false;
        p = end;
        return float(v);
    }
    void expect(char c) {
        skipBlanks();
        if (*p == c)
            ++p;
        else
            ok = false;
    }
};

// Reads one line into `line` (without its end); the rest of an overlong line is dropped.
bool readLine(std::FILE* file, char* line, int size) {
    int n = 0, c;
    bool any = false;
    while ((c = std::getc(file)) != EOF) {
        any = true;
        if (c == '\n') break;
        if (n < size - 1) line[n++] = char(c);
    }
    line[n] = '\0';
    return any;
}

bool writeWhole(const std::string& path, const std::string& text) {
    return replaceFile(path, text);
}

struct DefaultEntry {
    int controller, target;
};
constexpr DefaultEntry kDefaultMap[12] = {
    {82, 33}, {83, 34}, {28, 35}, {29, 36}, {81, 31}, {74, 23},
    {71, 25}, {1, 67},  {2, 3},   {3, 4},   {10, 45}, {128, 71},
};

} // namespace

// ---------------------------------------------------------------- the map

MidiMapEntry* MidiMap::findEntry(int target) {
    for (int i = 0; i < count_; ++i)
        if (entries_[i].target == target) return &entries_[i];
    return nullptr;
}

const MidiMapEntry* MidiMap::findEntry(int target) const {
    return const_cast<MidiMap*>(this)->findEntry(target);
}

bool MidiMap::nextMatch(int& cursor, int source, int controller, int channel,
                        MidiMatch& out) const {
    int slot;
    switch (source) {
    case kSourceController:
        slot = 0;
        break;
    case kSourceVelocity:
        slot = 1;
        break;
    case kSourceModWheel:
        slot = 2;
        break;
    case kSourceAftertouch:
        slot = 3;
        break;
    default:
        return false;
    }
    if (cursor < 0) cursor = 0;
    for (; cursor < count_; ++cursor) {
        const MidiMapEntry& e = entries_[cursor];
        if (!(e.sources & source)) continue;
        if (source == kSourceController && (e.controller != controller || e.channel != channel))
            continue;
        out.target = e.target;
        out.low = e.range[slot][0];
        out.high = e.range[slot][1];
        out.curve = e.curve[slot];
        out.invert = e.invert[slot];
        ++cursor;
        return true;
    }
    return false;
}

void MidiMap::setEntry(int keepMask, int controller, int channel, int target, int sources,
                       const float ranges[4][2], const int curves[4], const int inverts[4]) {
    if (!validTarget(target)) return;
    sources &= kMidiSourceMask;
    MidiMapEntry* e = findEntry(target);
    if (!e) {
        if (count_ >= kCapacity) return;
        e = &entries_[count_++];
        *e = MidiMapEntry{};
        e->target = target;
        e->channel = channel;
        e->controller = controller;
        e->sources = sources;
        for (int s = 0; s < 4; ++s) {
            e->range[s][0] = cleanRange(ranges[s][0], 0.0f);
            e->range[s][1] = cleanRange(ranges[s][1], 127.0f);
            e->curve[s] = curves[s];
            e->invert[s] = inverts[s];
        }
        return;
    }
    e->sources = (e->sources & keepMask) | sources;
    for (int s = 0; s < 4; ++s) {
        if (!(sources & (1 << s))) continue;
        e->range[s][0] = cleanRange(ranges[s][0], 0.0f);
        e->range[s][1] = cleanRange(ranges[s][1], 127.0f);
        e->curve[s] = curves[s];
        e->invert[s] = inverts[s];
        if (s == 0) {
            e->channel = channel;
            e->controller = controller;
        }
    }
}

void MidiMap::dropPatchSettings() {
    for (int i = 0; i < count_; ++i) {
        MidiMapEntry& e = entries_[i];
        if (!(e.sources & (kSourceVelocity | kSourceModWheel | kSourceAftertouch))) continue;
        e.sources &= kSourceController;
        for (int s = 1; s < 4; ++s) defaultSlot(e, s);
    }
}

void MidiMap::dropControllerSettings() {
    for (int i = 0; i < count_; ++i) {
        MidiMapEntry& e = entries_[i];
        if (!(e.sources & kSourceController)) continue;
        e.sources &= ~kSourceController;
        e.controller = 0;
    }
}

void MidiMap::resetToDefault() {
    count_ = 0;
    for (const DefaultEntry& d : kDefaultMap) {
        MidiMapEntry& e = entries_[count_++];
        e = MidiMapEntry{};
        e.channel = 0;
        e.controller = d.controller;
        e.target = d.target;
        e.sources = kSourceController;
    }
    // The bend wheel's entry covers only the middle of "Pitch Bend": about ±0.7 V.
    entries_[count_ - 1].range[0][0] = 53.0f;
    entries_[count_ - 1].range[0][1] = 74.0f;
    // Controller 1 arrives as the modulation wheel, never as a controller, so vibrato
    // follows the wheel only through the wheel's own source.
    findEntry(67)->sources |= kSourceModWheel;
}

void MidiMap::readMapFile(std::FILE* file) {
    dropControllerSettings();
    if (!file) return;
    CNumericLocale numeric;
    char line[512];
    // One line per pass: a line that does not parse is skipped, so nothing loops.
    while (readLine(file, line, sizeof line)) {
        Fields f{line};
        const int version = f.integer();
        f.expect(':');
        if (!f.ok || version < 1 || version > 4) continue;
        int channel = f.integer();
        f.expect(',');
        int controller = f.integer();
        f.expect(',');
        int target = f.integer();
        f.expect(',');
        int sources = f.integer();
        float low = 0.0f, high = 127.0f;
        int curve = 0, invert = 0;
        if (version >= 2) {
            f.expect(',');
            low = f.real();
            f.expect(',');
            high = f.real();
        }
        if (version >= 3) {
            f.expect(',');
            curve = f.integer();
            f.expect(',');
            invert = f.integer();
        }
        if (!f.ok || !validTarget(target)) continue;
        sources = version == 1 ? kSourceController : (sources & kMidiSourceMask);
        low = cleanRange(low, 0.0f);
        high = cleanRange(high, 127.0f);

        MidiMapEntry* e = findEntry(target);
        if (!e) {
            if (count_ >= kCapacity) continue;
            e = &entries_[count_++];
            *e = MidiMapEntry{};
            e->target = target;
            e->sources = 0;
        }
        e->channel = channel;
        e->controller = controller;
        e->range[0][0] = low;
        e->range[0][1] = high;
        e->curve[0] = curve;
        e->invert[0] = invert;
        e->sources |= sources;
    }
}

std::string MidiMap::mapFileText() const {
    CNumericLocale numeric;
    std::string text;
    for (int i = 0; i < count_; ++i) {
        const MidiMapEntry& e = entries_[i];
        char line[256];
        std::snprintf(line, sizeof line, "4: %d, %d, %d, %d, %f, %f, %d, %d\n", e.channel,
                      e.controller, e.target, e.sources, double(e.range[0][0]),
                      double(e.range[0][1]), e.curve[0], e.invert[0]);
        text += line;
    }
    return text;
}

void MidiMap::writeMapFile(std::FILE* file) const {
    if (!file) return;
    const std::string text = mapFileText();
    std::fwrite(text.data(), 1, text.size(), file);
}

// ---------------------------------------------------------------- mapping

float mapMidiValue(const MidiMatch& m, int value, bool fourteenBit) {
    if (!validTarget(m.target)) return 0.0f;
    const double top = fourteenBit ? 16383.0 : 127.0;
    double x = std::clamp(double(value), 0.0, top);
    if (m.invert) x = top - x;
    double y;
    if (m.curve == 1)
        y = (std::pow(10.0, x / (fourteenBit ? 16383.00001 : 127.00001)) - 1.0) / 9.0;
    else if (m.curve == 2)
        y = std::log10(x / (fourteenBit ? 1820.33334 : 14.11112) + 1.0);
    else
        y = x / (fourteenBit ? 16383.00001 : 127.0);

    constexpr double kStep = 33554432.0; // 2^25: one 7-bit step of a 32-bit range
    const double low = cleanRange(m.low, 0.0f);
    const double high = cleanRange(m.high, 127.0f);
    const double a = low * kStep;
    const double b = fourteenBit ? high * kStep + (kStep - 1.0) : high * kStep + kStep;
    const double t = std::clamp(((b - a) * y + a) / 4294967295.0, 0.0, 1.0);

    const ParameterInfo& p = parameterInfo(m.target);
    const double lo = p.minimum, hi = p.maximum;
    double v;
    if ((p.flags & kFlagLogarithmic) && lo > 0.0 && hi > 0.0)
        v = lo * std::pow(hi / lo, t);
    else
        v = lo + t * (hi - lo);
    return float(std::clamp(v, std::min(lo, hi), std::max(lo, hi)));
}

// ---------------------------------------------------------------- map files

void MidiMapFiles::loadMapNames() {
    mapNames_.clear();
    if (folder_.empty()) return;
    std::FILE* f = std::fopen((folder_ + "midiMapList").c_str(), "r");
    if (!f) return;
    char line[512];
    while (readLine(f, line, sizeof line)) {
        std::string name(line);
        while (!name.empty() && std::isspace(static_cast<unsigned char>(name.back())))
            name.pop_back();
        if (!name.empty()) mapNames_.push_back(name);
    }
    std::fclose(f);
}

bool MidiMapFiles::writeMapNames() const {
    if (folder_.empty()) return false;
    std::string text;
    for (const std::string& name : mapNames_) text += name + "\n";
    return writeWhole(folder_ + "midiMapList", text);
}

bool MidiMapFiles::loadMap(int n, MidiMap& map) {
    if (n < 0 || folder_.empty()) return false;
    std::FILE* f = std::fopen((folder_ + std::to_string(n) + ".mmap").c_str(), "r");
    if (!f) return false;
    map.readMapFile(f);
    std::fclose(f);
    if (n < int(mapNames_.size())) shownName_ = mapNames_[n];
    return true;
}

int MidiMapFiles::saveMap(const std::string& name, const MidiMap& map) {
    // The list file holds one name per line with trailing blanks removed: a name that
    // would not read back as itself is refused rather than splitting the list.
    if (name.empty() || name.find_first_of("\r\n") != std::string::npos ||
        std::isspace(static_cast<unsigned char>(name.back())) || folder_.empty())
        return -1;
    int n = -1;
    for (int i = 0; i < int(mapNames_.size()); ++i)
        if (mapNames_[i] == name) {
            n = i;
            break;
        }
    std::error_code ignored;
    std::filesystem::create_directories(folder_, ignored);
    const bool added = n < 0;
    if (added) n = int(mapNames_.size());
    // The map first, then the list that names it: a failed write leaves no name in the
    // list without its file, and the previous file of a name whole.
    if (!replaceFile(folder_ + std::to_string(n) + ".mmap", map.mapFileText())) return -1;
    if (added) {
        mapNames_.push_back(name);
        if (!writeMapNames()) {
            mapNames_.pop_back();
            return -1;
        }
    }
    return n;
}

void MidiMapFiles::startUp(MidiMap& map) {
    map.resetToDefault();
    loadMapNames();
    shownName_ = "Default Map";
    loadMap(0, map);
}

} // namespace moraine
