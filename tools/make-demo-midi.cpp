// moraine-demo-midi: writes the demo song, a type 1 Standard MIDI File of eight bars at
// 100 BPM in A minor: a bass line on channel 1, pad chords on channel 2 and a lead melody
// with a touch of mod wheel on channel 3. The same bytes every time.
#include "tools/render/Smf.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kPpqn = 480;
constexpr int kBpm = 100;
constexpr int kBars = 8;
constexpr int kBeatsPerBar = 4;

struct Note {
    double beat; // from the start of the song
    double length;
    int key;
    int velocity;
};

struct Message {
    int pulses;
    int order; // note-offs before anything else at the same time
    unsigned char status, data1, data2;
};

unsigned char byte(int v) {
    return (unsigned char)(v & 0xFF);
}

int pulses(double beats) {
    return int(beats * kPpqn + 0.5);
}

// Am F C G | Am F G Am, one chord a bar. The factory bass sounds an octave below its keys
// and the pad and lead an octave above theirs; the keys are chosen for that.
constexpr int kRoots[kBars] = {45, 41, 48, 43, 45, 41, 43, 45};

std::vector<Note> bassLine() {
    // Root on the beat, a push up the octave on the off-beats, the fifth before the next bar.
    const struct {
        double beat, length;
        int interval, velocity;
    } pattern[] = {{0.0, 0.75, 0, 112}, {1.0, 0.45, 0, 88}, {1.5, 0.45, 12, 96},
                   {2.0, 0.75, 0, 106}, {3.0, 0.45, 7, 90}, {3.5, 0.45, 12, 84}};
    std::vector<Note> notes;
    for (int bar = 0; bar + 1 < kBars; ++bar)
        for (const auto& p : pattern)
            notes.push_back(
                {bar * kBeatsPerBar + p.beat, p.length, kRoots[bar] + p.interval, p.velocity});
    notes.push_back({(kBars - 1) * kBeatsPerBar, 3.5, kRoots[kBars - 1], 112});
    return notes;
}

std::vector<Note> padChords() {
    const int chords[kBars][3] = {{45, 48, 52}, {45, 48, 53}, {43, 48, 52}, {43, 47, 50},
                                  {45, 48, 52}, {45, 48, 53}, {43, 47, 50}, {45, 48, 52}};
    std::vector<Note> notes;
    for (int bar = 0; bar < kBars; ++bar)
        for (int k = 0; k < 3; ++k)
            notes.push_back({double(bar * kBeatsPerBar), double(kBeatsPerBar), chords[bar][k],
                             k == 0 ? 76 : 68});
    return notes;
}

std::vector<Note> leadMelody() {
    // Enters in the third bar; durations in beats.
    const struct {
        double length;
        int key, velocity;
    } phrase[] = {
        {1.0, 64, 100}, {0.5, 62, 84},  {0.5, 60, 88},  {1.0, 62, 92},  {1.0, 64, 98}, // C
        {1.5, 62, 96},  {0.5, 59, 80},  {2.0, 55, 90},                                 // G
        {0.5, 57, 86},  {0.5, 60, 88},  {1.0, 64, 100}, {1.5, 69, 112}, {0.5, 67, 90}, // Am
        {1.0, 65, 98},  {0.5, 64, 86},  {0.5, 62, 84},  {2.0, 60, 94},                 // F
        {1.0, 62, 96},  {1.0, 67, 104}, {0.5, 65, 88},  {0.5, 64, 86},  {1.0, 62, 90}, // G
        {4.0, 64, 104},                                                                // Am
    };
    std::vector<Note> notes;
    double beat = 2 * kBeatsPerBar;
    for (const auto& p : phrase) {
        // Slightly short of the next note: the mono lead glides between notes either way.
        notes.push_back({beat, p.length * 0.95, p.key, p.velocity});
        beat += p.length;
    }
    return notes;
}

std::vector<Message> toMessages(const std::vector<Note>& notes, int channel) {
    std::vector<Message> messages;
    for (const Note& n : notes) {
        messages.push_back({pulses(n.beat), 1, (unsigned char)(0x90 | channel),
                            (unsigned char)n.key, (unsigned char)n.velocity});
        messages.push_back({pulses(n.beat + n.length), 0, (unsigned char)(0x80 | channel),
                            (unsigned char)n.key, 64});
    }
    return messages;
}

// The mod wheel rises under a held note, for vibrato, and falls back before the next.
void addModWheel(std::vector<Message>& messages, int channel, double from, double to, int peak) {
    constexpr double kStep = 0.125;
    const int steps = int((to - from) / kStep);
    for (int i = 0; i <= steps; ++i)
        messages.push_back({pulses(from + i * kStep), 2, (unsigned char)(0xB0 | channel), 1,
                            (unsigned char)(peak * i / steps)});
}

bool addTrack(smf_t* smf, const char* name, std::vector<Message> messages, int endPulses) {
    smf_track_t* track = smf_track_new();
    if (!track) return false;
    smf_add_track(smf, track);
    smf_track_add_event_pulses(track, smf_event_new_textual(0x03, name), 0);
    std::stable_sort(messages.begin(), messages.end(), [](const Message& a, const Message& b) {
        return a.pulses != b.pulses ? a.pulses < b.pulses : a.order < b.order;
    });
    for (const Message& m : messages)
        smf_track_add_event_pulses(track, smf_event_new_from_bytes(m.status, m.data1, m.data2),
                                   m.pulses);
    return smf_track_add_eot_pulses(track, endPulses) == 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2 || std::string(argv[1]).starts_with("-")) {
        std::fputs("usage: moraine-demo-midi OUT.mid\n", stderr);
        return 2;
    }
    smf_t* smf = smf_new();
    if (!smf || smf_set_ppqn(smf, kPpqn) != 0) return 1;
    const int end = kBars * kBeatsPerBar * kPpqn;

    // The conductor track: name, tempo and 4/4.
    smf_track_t* conductor = smf_track_new();
    smf_add_track(smf, conductor);
    smf_track_add_event_pulses(conductor, smf_event_new_textual(0x03, "Moraine Deck demo"), 0);
    const int perQuarter = 60000000 / kBpm;
    unsigned char tempo[] = {
        0xFF, 0x51, 3, byte(perQuarter >> 16), byte(perQuarter >> 8), byte(perQuarter)};
    smf_track_add_event_pulses(conductor, smf_event_new_from_pointer(tempo, sizeof tempo), 0);
    unsigned char meter[] = {0xFF, 0x58, 4, 4, 2, 24, 8};
    smf_track_add_event_pulses(conductor, smf_event_new_from_pointer(meter, sizeof meter), 0);
    bool ok = smf_track_add_eot_pulses(conductor, end) == 0;

    std::vector<Message> lead = toMessages(leadMelody(), 2);
    addModWheel(lead, 2, 3 * kBeatsPerBar + 2.25, 3 * kBeatsPerBar + 3.75, 40); // the held G
    lead.push_back({pulses(4 * kBeatsPerBar), 0, 0xB2, 1, 0});
    addModWheel(lead, 2, 7 * kBeatsPerBar + 0.5, 7 * kBeatsPerBar + 3.5, 80); // the last E
    lead.push_back({end, 2, 0xB2, 1, 0});

    ok = ok && addTrack(smf, "Bass", toMessages(bassLine(), 0), end) &&
         addTrack(smf, "Pad", toMessages(padChords(), 1), end) && addTrack(smf, "Lead", lead, end);
    if (!ok || smf_save(smf, argv[1]) != 0) {
        std::fprintf(stderr, "moraine-demo-midi: cannot write %s\n", argv[1]);
        smf_delete(smf);
        return 1;
    }
    smf_delete(smf);
    return 0;
}
