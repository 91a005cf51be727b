// Standard MIDI Files for moraine-render: the channel messages of a type 0 or type 1 file on
// one time line in seconds, and the file's tempo map for the host's musical position.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace moraine::render {

// A file that cannot be played; the text names the file and says what is wrong with it.
struct MidiFileError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct TimedMidi {
    double seconds = 0.0;
    uint8_t status = 0, data1 = 0, data2 = 0;
    int channel() const { return status & 15; }
};

// From `seconds` on, the tempo is `bpm` and the position moves on from `ppq`.
struct TempoSpan {
    double seconds = 0.0;
    double ppq = 0.0;
    double bpm = 120.0;
};

class TempoMap {
public:
    // One tempo for the whole time line.
    explicit TempoMap(double bpm = 120.0) : spans_{{0.0, 0.0, bpm}} {}
    explicit TempoMap(std::vector<TempoSpan> spans); // sorted, the first at 0 s

    const TempoSpan& spanAt(double seconds) const;
    double ppqAt(double seconds) const;
    const std::vector<TempoSpan>& spans() const { return spans_; }

private:
    std::vector<TempoSpan> spans_;
};

struct MidiSong {
    std::vector<TimedMidi> events; // channel messages in the order they play
    TempoMap tempo;
    double end = 0.0; // the last channel message's time
};

// Reads a type 0 or type 1 file timed in pulses per quarter note. `defaultBpm` is the
// tempo until the file's first tempo change (the whole file's tempo when it has none).
MidiSong readMidiFile(const std::string& path, double defaultBpm);

} // namespace moraine::render
