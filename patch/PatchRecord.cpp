#include "patch/PatchRecord.h"
#include "patch/TextTrim.h"

#include "platform/Diagnostics.h"
#include "platform/Files.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace moraine {

namespace {

constexpr FourCC kMasterVolume = fourcc("mvol");
constexpr int kPatchSources = kSourceVelocity | kSourceModWheel | kSourceAftertouch;
// A patch file is far smaller; anything beyond this is not read.
constexpr long kMaxFileBytes = 1L << 20;

// At most the field limit, never ending inside a UTF-8 sequence, trimmed again.
std::string limited(std::string_view s) {
    if (s.size() > size_t(kPatchTextFieldLimit)) {
        size_t n = kPatchTextFieldLimit;
        for (int back = 0; back < 3 && n > 0 && (std::uint8_t(s[n]) & 0xC0) == 0x80; ++back) --n;
        s = trimmed(s.substr(0, n));
    }
    return std::string(s);
}

// Ranges are in 7-bit units, as in the MIDI map.
float cleanRange(float v, float fallback) {
    if (!std::isfinite(v)) return fallback;
    return std::clamp(v, 0.0f, 127.0f);
}

void resetControllerSource(MidiMapEntry& e) {
    e.range[0][0] = 0.0f;
    e.range[0][1] = 127.0f;
    e.curve[0] = 0;
    e.invert[0] = 0;
}

// ---------------------------------------------------------------- writing

void appendCode(std::string& out, FourCC code) {
    // "%4s": right-aligned in four columns, up to the first NUL.
    char text[4];
    int n = 0;
    for (int i = 0; i < 4; ++i) {
        const char c = char((code >> (24 - 8 * i)) & 0xFF);
        if (c == '\0') break;
        text[n++] = c;
    }
    out.append(size_t(4 - n), ' ');
    out.append(text, size_t(n));
}

void appendInt(std::string& out, long long v, int base = 10) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, base);
    out.append(buf, size_t(r.ptr - buf));
}

void appendFixed(std::string& out, double v, int decimals) {
    if (!std::isfinite(v)) v = 0.0; // the engine reads these as 0 too
    char buf[400];                  // DBL_MAX has 309 integer digits
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    if (r.ec == std::errc())
        out.append(buf, size_t(r.ptr - buf));
    else
        out += "0";
}

// One line of a single-line text: a line break inside would start a record of its own.
void appendTextLine(std::string& out, const char* head, const std::string& text, bool oneLine) {
    out += head;
    std::string_view s(text.c_str()); // "%s" ends at a NUL
    std::string body = limited(s);
    if (oneLine)
        std::replace_if(
            body.begin(), body.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    out += body;
    out += '\n';
}

void appendValueLine(std::string& out, const PatchValue& v) {
    switch (v.type) {
    case kValueInteger:
        // Written in hexadecimal, read as decimal: the same digits for 0..8, the range of
        // every integer-kind parameter.
        out += "0 : ";
        appendCode(out, v.code);
        out += " = ";
        appendInt(out, std::clamp(v.integer, 0, 8), 16);
        out += "  //\n";
        break;
    case kValueReal:
        out += "1 : ";
        appendCode(out, v.code);
        out += " = ";
        appendFixed(out, v.real, 40);
        out += '\n';
        break;
    case kValuePatched:
        out += "2 : ";
        appendCode(out, v.code);
        out += " = ";
        appendCode(out, v.linkCode);
        out += '\n';
        break;
    case kValueUnpatched:
        out += "3 : ";
        appendCode(out, v.code);
        out += " = 0\n";
        break;
    default:
        break; // no other kind has a line
    }
}

void appendMidiLine(std::string& out, const MidiMapEntry& e) {
    out += "14 : ";
    appendInt(out, e.channel);
    out += ", ";
    appendInt(out, e.controller);
    out += ", ";
    appendInt(out, e.target);
    out += ", ";
    appendInt(out, e.sources & kPatchSources);
    for (int slot = 1; slot < 4; ++slot)
        for (int end = 0; end < 2; ++end) {
            out += ", ";
            appendFixed(out, e.range[slot][end], 6);
        }
    for (int slot = 1; slot < 4; ++slot) {
        out += ", ";
        appendInt(out, e.curve[slot]);
        out += ", ";
        appendInt(out, e.invert[slot]);
    }
    out += '\n';
}

std::string tailText(const PatchRecord& r) {
    std::string out;
    out += "10 : ";
    for (int i = 0; i < 4; ++i) {
        if (i) out += ", ";
        appendInt(out, r.beatSync[i]);
    }
    out += "\n11 : ";
    appendInt(out, r.locked);
    out += "\n12 : ";
    appendInt(out, r.displayNotes);
    out += "\n15 : ";
    appendInt(out, r.midiProgram);
    out += "\n16 : ";
    appendFixed(out, r.beatOffset[0], 6);
    out += ", ";
    appendFixed(out, r.beatOffset[1], 6);
    out += '\n';
    appendTextLine(out, "4 : PatchName = ", r.name, true);
    appendTextLine(out, "5 : PatchAuthor = ", r.author, true);
    appendTextLine(out, "6 : PatchDate = ", r.date, true);
    appendTextLine(out, "7 : PatchNotes = ", r.notes, false);
    return out;
}

// ---------------------------------------------------------------- reading

// The fields of one line, read the way the C library's scanf reads them: blanks are
// skipped before each field; any mismatch marks the line bad.
struct Fields {
    std::string_view rest;
    bool ok = true;

    void skipBlanks() {
        while (!rest.empty() && isBlank(rest.front())) rest.remove_prefix(1);
    }
    void expect(char c) {
        skipBlanks();
        if (!rest.empty() && rest.front() == c)
            rest.remove_prefix(1);
        else
            ok = false;
    }
    const char* numberStart() {
        skipBlanks();
        if (rest.size() > 1 && rest[0] == '+' && rest[1] != '-') rest.remove_prefix(1);
        return rest.data();
    }
    long long integer() {
        const char* p = numberStart();
        long long v = 0;
        const auto r = std::from_chars(p, p + rest.size(), v);
        if (r.ec != std::errc()) {
            ok = false;
            return 0;
        }
        rest.remove_prefix(size_t(r.ptr - p));
        return v;
    }
    int int32() {
        const long long v = integer();
        if (v < INT32_MIN || v > INT32_MAX) ok = false;
        return ok ? int(v) : 0;
    }
    template <typename T> T real() {
        const char* p = numberStart();
        T v = 0;
        const auto r = std::from_chars(p, p + rest.size(), v);
        if (r.ec != std::errc() || !std::isfinite(v)) {
            ok = false;
            return 0;
        }
        rest.remove_prefix(size_t(r.ptr - p));
        return v;
    }
    // "%s": the next word; empty (and the line bad) when there is none.
    std::string_view word() {
        skipBlanks();
        size_t n = 0;
        while (n < rest.size() && !isBlank(rest[n])) ++n;
        std::string_view w = rest.substr(0, n);
        rest.remove_prefix(n);
        if (w.empty()) ok = false;
        return w;
    }
    // "%4s": up to four characters of the next word.
    FourCC code() {
        skipBlanks();
        size_t n = 0;
        while (n < rest.size() && n < 4 && !isBlank(rest[n])) ++n;
        if (n == 0) {
            ok = false;
            return 0;
        }
        FourCC c = 0;
        for (size_t i = 0; i < 4; ++i) c = (c << 8) | (i < n ? std::uint8_t(rest[i]) : 0);
        rest.remove_prefix(n);
        return c;
    }
};

// The text of records 4 to 7: from two characters after the first '=', never past `end`.
std::string_view afterEquals(std::string_view line, size_t end) {
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos) return {};
    return line.substr(std::min(eq + 2, end), end - std::min(eq + 2, end));
}

} // namespace

// ---------------------------------------------------------------- the record

void PatchRecord::setValue(int type, FourCC code, int integer, double real, FourCC linkCode) {
    modified = true;
    for (PatchValue& v : values) {
        if (v.code != code) continue;
        v.linkCode = linkCode;
        v.type = type;
        v.real = real;
        v.integer = integer;
        return;
    }
    values.push_back({code, linkCode, real, integer, type});
}

void PatchRecord::clearMidiEntries() {
    midiEntries.clear();
    modified = true;
}

void PatchRecord::addMidiEntry(const MidiMapEntry& entry) {
    MidiMapEntry e = entry;
    resetControllerSource(e);
    e.sources &= kPatchSources;
    midiEntries.push_back(e);
    modified = true;
}

std::string PatchRecord::text() const {
    std::string out;
    for (const PatchValue& v : values) appendValueLine(out, v);
    for (const MidiMapEntry& e : midiEntries) appendMidiLine(out, e);
    return out + tailText(*this);
}

int PatchRecord::writeText(char* buffer, int capacity) const {
    if (buffer == nullptr || capacity <= 0) return 0;
    const size_t room = size_t(capacity) - 1;
    std::string out = text();
    if (out.size() > room) {
        // Whole lines of the lists go until the rest fits.
        const std::string tail = tailText(*this);
        std::string head;
        std::string line;
        bool full = tail.size() > room;
        for (size_t i = 0; !full && i < values.size() + midiEntries.size(); ++i) {
            line.clear();
            if (i < values.size())
                appendValueLine(line, values[i]);
            else
                appendMidiLine(line, midiEntries[i - values.size()]);
            if (head.size() + line.size() + tail.size() > room)
                full = true;
            else
                head += line;
        }
        out = head + tail;
        if (out.size() > room) {
            // Even the closing lines are too long: as many whole lines as fit.
            size_t cut = out.rfind('\n', room == 0 ? 0 : room - 1);
            out.resize(cut == std::string::npos || room == 0 ? 0 : cut + 1);
        }
    }
    std::memcpy(buffer, out.data(), out.size());
    buffer[out.size()] = '\0';
    return int(out.size());
}

void PatchRecord::readText(char* text, int length) {
    if (text != nullptr && length >= 0) {
        text[length] = '\0';
        readText(std::string_view(text, std::strlen(text)));
    } else {
        readText(std::string_view());
    }
}

void PatchRecord::readText(std::string_view text) {
    values.clear();
    midiEntries.clear();
    beatSync[0] = 0;
    beatSync[1] = kDefaultBeatPulses;
    beatSync[2] = 0;
    beatSync[3] = kDefaultBeatPulses;
    midiProgram = -1;
    beatOffset[0] = beatOffset[1] = 0.0f;

    const size_t nul = text.find('\0');
    if (nul != std::string_view::npos) text = text.substr(0, nul);

    bool volumeRead = false;
    size_t pos = 0;
    while (pos < text.size()) {
        // A line ends at a CR or an LF, whichever comes first, so a text whose line ends
        // are mixed loses no line; a CR LF pair leaves an empty line, which is skipped.
        const size_t breakAt = text.find_first_of("\r\n", pos);
        const size_t end = breakAt == std::string_view::npos ? text.size() : breakAt;
        const std::string_view line = text.substr(pos, end - pos);
        const size_t next = breakAt == std::string_view::npos ? text.size() : breakAt + 1;

        Fields f{line};
        const long long id = f.integer();
        if (!f.ok) {
            pos = next;
            continue;
        }
        switch (id) {
        case 0:
        case 1:
        case 2:
        case 3: {
            f.expect(':');
            PatchValue v;
            v.type = int(id);
            v.code = f.code();
            if (id != 3) f.expect('=');
            if (id == 0) {
                // Integer-kind parameters take 0..8.
                v.integer = int(std::clamp<long long>(f.integer(), 0, 8));
            } else if (id == 1) {
                v.real = f.real<double>();
            } else if (id == 2) {
                const std::string_view link = f.word();
                if (link.size() > 4) f.ok = false;
                char padded[5] = {};
                std::memcpy(padded, link.data(), std::min<size_t>(link.size(), 4));
                v.linkCode = fourccFromText(padded);
            }
            if (!f.ok) break; // a value line whose fields do not parse is left out
            if (v.code == kMasterVolume) {
                diagnostic("found volume info\n");
                volumeRead = true;
            }
            values.push_back(v);
            break;
        }
        case 4:
        case 5:
        case 6: {
            if (line.find('=') == std::string_view::npos) break;
            std::string s = limited(trimmed(afterEquals(line, line.size())));
            (id == 4 ? name : id == 5 ? author : date) = std::move(s);
            break;
        }
        case 7: {
            if (line.find('=') == std::string_view::npos) break;
            // The notes run to the end of the text; the break that ended this line
            // comes back as LF.
            std::string whole(text.substr(pos));
            if (end < text.size()) whole[end - pos] = '\n';
            notes = limited(trimmed(afterEquals(whole, whole.size())));
            pos = text.size();
            continue;
        }
        case 8:
        case 9:
        case 14: {
            f.expect(':');
            MidiMapEntry e;
            e.channel = f.int32();
            f.expect(',');
            e.controller = f.int32();
            f.expect(',');
            e.target = f.int32();
            f.expect(',');
            e.sources = f.int32() & kPatchSources;
            for (int slot = 1; slot < 4; ++slot)
                for (int side = 0; side < 2; ++side) {
                    f.expect(',');
                    e.range[slot][side] = cleanRange(f.real<float>(), side ? 127.0f : 0.0f);
                }
            if (id != 8) {
                for (int slot = 1; slot < 4; ++slot) {
                    f.expect(',');
                    e.curve[slot] = f.int32();
                    f.expect(',');
                    e.invert[slot] = f.int32();
                }
            }
            if (f.ok) midiEntries.push_back(e);
            break;
        }
        case 10: {
            f.expect(':');
            int s[4];
            for (int i = 0; i < 4; ++i) {
                if (i) f.expect(',');
                s[i] = f.int32();
            }
            if (!f.ok) break;
            for (int i = 0; i < 4; ++i) beatSync[i] = s[i];
            // Pulse counts divide; one below 1 reads as the default.
            if (beatSync[1] < 1) beatSync[1] = kDefaultBeatPulses;
            if (beatSync[3] < 1) beatSync[3] = kDefaultBeatPulses;
            break;
        }
        case 11:
        case 12:
        case 15: {
            f.expect(':');
            const int v = f.int32();
            if (!f.ok) break;
            if (id == 11)
                locked = v;
            else if (id == 12)
                displayNotes = v;
            else
                midiProgram = v >= 0 && v <= 127 ? v : -1;
            break;
        }
        case 16: {
            f.expect(':');
            const float a = f.real<float>();
            f.expect(',');
            const float b = f.real<float>();
            if (!f.ok) break;
            beatOffset[0] = a;
            beatOffset[1] = b;
            break;
        }
        default:
            break; // not a record of ours
        }
        pos = next;
    }

    if (!volumeRead) values.push_back({kMasterVolume, 0, 1.0, 0, kValueReal});
}

std::string PatchRecord::filePath() const {
    return folder + separator + fileName + ".qix";
}

bool PatchRecord::saveFile() const {
    if (!modified) return true;
    const std::string path = filePath();
    diagnostic("opening %s to save patch\n", path.c_str());
    std::vector<char> buffer(kPatchTextCapacity);
    const int length = writeText(buffer.data(), kPatchTextCapacity);
    // Written beside the old file and moved over it, so a failed write keeps the old one.
    if (!replaceFile(path, std::string_view(buffer.data(), size_t(length)))) {
        diagnostic("error opening file to save patch!!\n");
        return false;
    }
    diagnostic("saved patch %s\n", path.c_str());
    return true;
}

bool PatchRecord::loadFile() {
    std::string text;
    if (!readWholeFile(filePath(), text, size_t(kMaxFileBytes))) return false;
    author.clear();
    date.clear();
    notes.clear();
    readText(text);
    return true;
}

} // namespace moraine
