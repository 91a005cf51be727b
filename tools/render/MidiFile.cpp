#include "tools/render/MidiFile.h"

#include "tools/render/Smf.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>
#include <utility>

namespace moraine::render {

namespace {

// Far beyond any song; keeps every offset inside libsmf's int arithmetic.
constexpr std::size_t kMaxFileBytes = 64u << 20;

uint32_t be32(const std::vector<unsigned char>& b, std::size_t at) {
    return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 |
           uint32_t(b[at + 3]);
}

uint16_t be16(const std::vector<unsigned char>& b, std::size_t at) {
    return uint16_t(b[at] << 8 | b[at + 1]);
}

std::vector<unsigned char> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw MidiFileError(path + ": cannot open the MIDI file");
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
    if (in.bad()) throw MidiFileError(path + ": cannot read the MIDI file");
    return bytes;
}

[[noreturn]] void damaged(const std::string& path, int track, std::size_t at, const char* what) {
    throw MidiFileError(path + ": damaged MIDI file (track " + std::to_string(track) + ", byte " +
                        std::to_string(at) + ": " + what + ")");
}

// Reads a variable-length number of at most four bytes that ends before `end`.
bool readVlq(const std::vector<unsigned char>& b, std::size_t& at, std::size_t end, uint32_t& v) {
    v = 0;
    for (int i = 0; i < 4 && at < end; ++i) {
        const unsigned char c = b[at++];
        v = v << 7 | (c & 0x7F);
        if (!(c & 0x80)) return true;
    }
    return false;
}

void writeVlq(std::vector<unsigned char>& out, uint32_t v) {
    unsigned char bytes[4];
    int n = 0;
    do {
        bytes[n++] = (unsigned char)(v & 0x7F);
        v >>= 7;
    } while (v && n < 4);
    while (n-- > 0) out.push_back((unsigned char)(bytes[n] | (n ? 0x80 : 0)));
}

void writeBe32(std::vector<unsigned char>& out, std::size_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back((unsigned char)(v >> shift));
}

// libsmf asserts, rather than fails, on several kinds of damage inside a track, and misreads
// long meta events. So every chunk and event is checked here first, and libsmf gets a copy
// holding only what a render uses: channel messages with their status bytes, tempo changes
// and an end to every track. A truncated or foreign file gets a message saying what is
// wrong with it.
std::vector<unsigned char> cleanCopy(const std::string& path, const std::vector<unsigned char>& b) {
    // Keeps pulse counts far inside libsmf's int arithmetic.
    constexpr uint64_t kMaxPulses = 0x0FFFFFFF;
    if (b.size() > kMaxFileBytes) throw MidiFileError(path + ": too large for a MIDI file");
    if (b.size() < 14 || !std::equal(b.begin(), b.begin() + 4, "MThd"))
        throw MidiFileError(path + ": not a Standard MIDI File (no MThd header)");
    const uint32_t headerLength = be32(b, 4);
    if (headerLength < 6 || headerLength > b.size() - 8)
        throw MidiFileError(path + ": damaged MIDI file header");
    const int format = be16(b, 8);
    const int tracks = be16(b, 10);
    const int division = be16(b, 12);
    if (format == 2)
        throw MidiFileError(path + ": type 2 MIDI files (independent songs) are not supported");
    if (format > 2)
        throw MidiFileError(path + ": unknown MIDI file type " + std::to_string(format));
    if (tracks == 0) throw MidiFileError(path + ": the MIDI file holds no tracks");
    if (division & 0x8000)
        throw MidiFileError(path + ": MIDI files timed in SMPTE frames are not supported");
    if (division == 0) throw MidiFileError(path + ": damaged MIDI file header (no time base)");

    std::vector<unsigned char> out(b.begin(), b.begin() + 14);
    out[4] = out[5] = out[6] = 0;
    out[7] = 6;
    int found = 0;
    for (std::size_t at = 8 + headerLength; at < b.size() && found < tracks;) {
        if (b.size() - at < 8)
            throw MidiFileError(path + ": truncated MIDI file (it ends inside a chunk header)");
        const uint32_t length = be32(b, at + 4);
        if (length > b.size() - at - 8)
            throw MidiFileError(path + ": truncated MIDI file (track " + std::to_string(found + 1) +
                                " needs " + std::to_string(length) + " bytes, " +
                                std::to_string(b.size() - at - 8) + " remain)");
        const bool isTrack =
            std::equal(b.begin() + std::ptrdiff_t(at), b.begin() + std::ptrdiff_t(at) + 4, "MTrk");
        const std::size_t end = at + 8 + length;
        at += 8;
        if (!isTrack) { // chunks of other kinds are skipped, as the format asks
            at = end;
            continue;
        }
        const int track = ++found;
        std::vector<unsigned char> events;
        uint64_t pending = 0, total = 0;
        int running = 0;
        while (at < end) {
            uint32_t delta = 0;
            if (!readVlq(b, at, end, delta)) damaged(path, track, at, "bad delta time");
            pending += delta;
            total += delta;
            if (total > kMaxPulses) damaged(path, track, at, "the track is too long");
            if (at >= end) damaged(path, track, at, "the track ends inside an event");
            const unsigned char status = b[at];
            if (status == 0xFF || status == 0xF0 || status == 0xF7) {
                ++at;
                int type = -1;
                if (status == 0xFF) {
                    if (at >= end) damaged(path, track, at, "the track ends inside an event");
                    type = b[at++];
                }
                uint32_t size = 0;
                if (!readVlq(b, at, end, size) || size > end - at)
                    damaged(path, track, at, "an event runs past the end of its track");
                if (type == 0x2F) break;
                if (type == 0x51 && size == 3) {
                    writeVlq(events, uint32_t(pending));
                    pending = 0;
                    events.insert(events.end(), {0xFF, 0x51, 3, b[at], b[at + 1], b[at + 2]});
                }
                at += size;
                continue;
            }
            if (status > 0xF0) damaged(path, track, at, "a system message in a MIDI file");
            if (status & 0x80) {
                running = status;
                ++at;
            } else if (!running) {
                damaged(path, track, at, "data without a status byte");
            }
            const int kind = running & 0xF0;
            const std::size_t size = kind == 0xC0 || kind == 0xD0 ? 1 : 2;
            if (end - at < size) damaged(path, track, at, "the track ends inside an event");
            for (std::size_t i = 0; i < size; ++i)
                if (b[at + i] & 0x80)
                    damaged(path, track, at + i, "a status byte inside a message");
            writeVlq(events, uint32_t(pending));
            pending = 0;
            events.push_back((unsigned char)running);
            events.insert(events.end(), b.begin() + std::ptrdiff_t(at),
                          b.begin() + std::ptrdiff_t(at + size));
            at += size;
        }
        writeVlq(events, uint32_t(pending));
        events.insert(events.end(), {0xFF, 0x2F, 0});
        out.insert(out.end(), {'M', 'T', 'r', 'k'});
        writeBe32(out, events.size());
        out.insert(out.end(), events.begin(), events.end());
        at = end;
    }
    if (found < tracks)
        throw MidiFileError(path + ": truncated MIDI file (the header announces " +
                            std::to_string(tracks) + " tracks, the file holds " +
                            std::to_string(found) + ")");
    out[10] = (unsigned char)(found >> 8);
    out[11] = (unsigned char)found;
    return out;
}

struct SmfDeleter {
    void operator()(smf_t* smf) const { smf_delete(smf); }
};

struct RawEvent {
    long long pulses;
    uint8_t status, data1, data2;
};

struct TempoChange {
    long long pulses;
    long long microsecondsPerQuarter;
};

} // namespace

TempoMap::TempoMap(std::vector<TempoSpan> spans) : spans_(std::move(spans)) {
    if (spans_.empty()) spans_.push_back({});
}

const TempoSpan& TempoMap::spanAt(double seconds) const {
    const auto after =
        std::upper_bound(spans_.begin() + 1, spans_.end(), seconds,
                         [](double s, const TempoSpan& span) { return s < span.seconds; });
    return *(after - 1);
}

double TempoMap::ppqAt(double seconds) const {
    const TempoSpan& span = spanAt(seconds);
    return span.ppq + (seconds - span.seconds) * span.bpm / 60.0;
}

MidiSong readMidiFile(const std::string& path, double defaultBpm) {
    const std::vector<unsigned char> bytes = cleanCopy(path, readBytes(path));
    std::unique_ptr<smf_t, SmfDeleter> smf(smf_load_from_memory(bytes.data(), int(bytes.size())));
    if (!smf) throw MidiFileError(path + ": damaged MIDI file (its events cannot be read)");

    // Every track's channel messages and tempo changes, in track order; a stable sort by
    // time then keeps the file's own order for events at the same time.
    std::vector<RawEvent> raw;
    std::vector<TempoChange> tempos;
    for (int t = 1; t <= smf->number_of_tracks; ++t) {
        const smf_track_t* track = smf_get_track_by_number(smf.get(), t);
        if (!track) continue;
        for (int i = 1; i <= track->number_of_events; ++i) {
            const smf_event_t* e = smf_track_get_event_by_number(track, i);
            if (!e || !e->midi_buffer || e->midi_buffer_length < 1) continue;
            const unsigned char* m = e->midi_buffer;
            const int length = e->midi_buffer_length;
            if (m[0] == 0xFF) {
                if (length >= 6 && m[1] == 0x51 && m[2] == 3) {
                    const long long us = m[3] << 16 | m[4] << 8 | m[5];
                    if (us > 0) tempos.push_back({e->time_pulses, us});
                }
                continue;
            }
            if (m[0] < 0x80 || m[0] >= 0xF0) continue; // system messages do not reach a voice
            const int kind = m[0] & 0xF0;
            const int size = kind == 0xC0 || kind == 0xD0 ? 2 : 3;
            if (length < size) continue;
            raw.push_back(
                {e->time_pulses, m[0], uint8_t(m[1] & 127), uint8_t(size == 3 ? m[2] & 127 : 0)});
        }
    }
    const auto byPulses = [](const auto& a, const auto& b) { return a.pulses < b.pulses; };
    std::stable_sort(raw.begin(), raw.end(), byPulses);
    std::stable_sort(tempos.begin(), tempos.end(), byPulses);

    MidiSong song;
    // The time line: seconds at each tempo change, and the tempo from there on.
    const double ppqn = smf->ppqn > 0 ? smf->ppqn : 1;
    std::vector<long long> changePulses{0};
    std::vector<TempoSpan> spans{{0.0, 0.0, defaultBpm}};
    for (const TempoChange& c : tempos) {
        const TempoSpan& last = spans.back();
        const double at =
            last.seconds + double(c.pulses - changePulses.back()) / ppqn * 60.0 / last.bpm;
        const TempoSpan span{at, double(c.pulses) / ppqn, 60e6 / double(c.microsecondsPerQuarter)};
        if (c.pulses == changePulses.back()) {
            spans.back() = span; // the last of several changes at one time wins
        } else {
            spans.push_back(span);
            changePulses.push_back(c.pulses);
        }
    }
    const auto seconds = [&](long long pulses) {
        const auto k =
            std::size_t(std::upper_bound(changePulses.begin() + 1, changePulses.end(), pulses) -
                        changePulses.begin() - 1);
        return spans[k].seconds + double(pulses - changePulses[k]) / ppqn * 60.0 / spans[k].bpm;
    };

    song.events.reserve(raw.size());
    for (const RawEvent& r : raw) {
        const double s = seconds(r.pulses);
        song.events.push_back({s, r.status, r.data1, r.data2});
        song.end = std::max(song.end, s);
    }
    song.tempo = TempoMap(std::move(spans));
    return song;
}

} // namespace moraine::render
