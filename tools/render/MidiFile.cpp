#include "tools/render/MidiFile.h"

#include "tools/render/Smf.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
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

// The chunk layout is checked here, before libsmf sees the bytes, so that a truncated or
// foreign file gets a message saying what is wrong instead of a parser's complaint.
void checkLayout(const std::string& path, const std::vector<unsigned char>& b) {
    if (b.size() > kMaxFileBytes) throw MidiFileError(path + ": too large for a MIDI file");
    if (b.size() < 14 || !std::equal(b.begin(), b.begin() + 4, "MThd"))
        throw MidiFileError(path + ": not a Standard MIDI File (no MThd header)");
    const uint32_t headerLength = be32(b, 4);
    if (headerLength < 6 || headerLength > b.size() - 8)
        throw MidiFileError(path + ": damaged MIDI file header");
    const int format = be16(b, 8);
    const int tracks = be16(b, 10);
    if (format == 2)
        throw MidiFileError(path + ": type 2 MIDI files (independent songs) are not supported");
    if (format > 2) throw MidiFileError(path + ": unknown MIDI file type " + std::to_string(format));
    if (tracks == 0) throw MidiFileError(path + ": the MIDI file holds no tracks");
    if (be16(b, 12) == 0) throw MidiFileError(path + ": damaged MIDI file header (no time base)");

    int found = 0;
    for (std::size_t at = 8 + headerLength; at < b.size() && found < tracks;) {
        if (b.size() - at < 8)
            throw MidiFileError(path + ": truncated MIDI file (it ends inside a chunk header)");
        const uint32_t length = be32(b, at + 4);
        if (length > b.size() - at - 8)
            throw MidiFileError(path + ": truncated MIDI file (track " + std::to_string(found + 1) +
                                " needs " + std::to_string(length) + " bytes, " +
                                std::to_string(b.size() - at - 8) + " remain)");
        if (std::equal(b.begin() + std::ptrdiff_t(at), b.begin() + std::ptrdiff_t(at) + 4, "MTrk"))
            ++found;
        at += 8 + length;
    }
    if (found < tracks)
        throw MidiFileError(path + ": truncated MIDI file (the header announces " +
                            std::to_string(tracks) + " tracks, the file holds " +
                            std::to_string(found) + ")");
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
    const auto after = std::upper_bound(
        spans_.begin() + 1, spans_.end(), seconds,
        [](double s, const TempoSpan& span) { return s < span.seconds; });
    return *(after - 1);
}

double TempoMap::ppqAt(double seconds) const {
    const TempoSpan& span = spanAt(seconds);
    return span.ppq + (seconds - span.seconds) * span.bpm / 60.0;
}

MidiSong readMidiFile(const std::string& path, double defaultBpm) {
    const std::vector<unsigned char> bytes = readBytes(path);
    checkLayout(path, bytes);
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
            raw.push_back({e->time_pulses, m[0], uint8_t(m[1] & 127),
                           uint8_t(size == 3 ? m[2] & 127 : 0)});
        }
    }
    const auto byPulses = [](const auto& a, const auto& b) { return a.pulses < b.pulses; };
    std::stable_sort(raw.begin(), raw.end(), byPulses);
    std::stable_sort(tempos.begin(), tempos.end(), byPulses);

    MidiSong song;
    // The time line: seconds at each tempo change, and the tempo from there on.
    std::vector<long long> changePulses{0};
    std::vector<TempoSpan> spans{{0.0, 0.0, defaultBpm}};
    std::function<double(long long)> seconds;
    if (smf->ppqn > 0) {
        const double ppqn = smf->ppqn;
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
        seconds = [&changePulses, &spans, ppqn](long long pulses) {
            const auto k = std::size_t(
                std::upper_bound(changePulses.begin() + 1, changePulses.end(), pulses) -
                changePulses.begin() - 1);
            return spans[k].seconds + double(pulses - changePulses[k]) / ppqn * 60.0 / spans[k].bpm;
        };
    } else {
        // SMPTE time counts frames and subframes; the tempo only drives the host's position.
        const double perSecond = double(smf->frames_per_second) * double(smf->resolution);
        if (perSecond <= 0.0) throw MidiFileError(path + ": damaged MIDI file header (no time base)");
        seconds = [perSecond](long long pulses) { return double(pulses) / perSecond; };
    }

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
