// Reads arbitrary bytes as patch text, writes the record and reads the text again: the
// second record must equal the first (within the decimals written, and for the notes up to
// their first break, which reads as LF), and writing it must give the same text.
#include "patch/PatchRecord.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace moraine;

void check(bool ok) {
    if (!ok) std::abort();
}

// %f keeps six decimals and %.40f forty: a value read from text comes back within these.
bool close(double a, double b, double decimals) {
    return std::fabs(a - b) <= decimals + std::fabs(a) * 1e-15;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The reader stores a NUL one past the text, so it gets a writable copy.
    std::vector<char> input(data, data + size);
    input.push_back('\0');
    PatchRecord first;
    first.readText(input.data(), int(size));
    check(!first.values.empty());
    check(first.name.size() <= size_t(kPatchTextFieldLimit));
    check(first.notes.size() <= size_t(kPatchTextFieldLimit));

    std::vector<char> buffer(kPatchTextCapacity, '#');
    const int length = first.writeText(buffer.data(), kPatchTextCapacity);
    check(length >= 0 && length < kPatchTextCapacity && buffer[size_t(length)] == '\0');
    const std::string text(buffer.data(), size_t(length));

    PatchRecord second;
    second.readText(buffer.data(), length);
    std::vector<char> again(kPatchTextCapacity);
    const int againLength = second.writeText(again.data(), kPatchTextCapacity);
    const std::string secondText(again.data(), size_t(againLength));

    // The break that ends the notes line reads as LF, so a CR as the first break inside
    // the notes becomes LF once; after that the text stays as it is.
    std::string notes = first.notes;
    const size_t firstBreak = notes.find_first_of("\r\n");
    if (firstBreak != std::string::npos) notes[firstBreak] = '\n';
    check(second.notes == notes);
    if (notes == first.notes) {
        check(secondText == text);
    } else {
        PatchRecord third;
        third.readText(secondText);
        check(third.text() == secondText);
    }

    // A text cut to fit the buffer holds fewer values; everything else still matches.
    const bool whole = first.text().size() == text.size();
    if (whole) {
        check(second.values.size() == first.values.size());
        for (size_t i = 0; i < first.values.size(); ++i) {
            const PatchValue &a = first.values[i], &b = second.values[i];
            check(a.code == b.code && a.type == b.type && a.integer == b.integer &&
                  a.linkCode == b.linkCode && close(a.real, b.real, 1e-40));
        }
        check(second.midiEntries.size() == first.midiEntries.size());
        for (size_t i = 0; i < first.midiEntries.size(); ++i) {
            const MidiMapEntry &a = first.midiEntries[i], &b = second.midiEntries[i];
            check(a.channel == b.channel && a.controller == b.controller && a.target == b.target &&
                  a.sources == b.sources);
            for (int s = 0; s < 4; ++s)
                check(close(a.range[s][0], b.range[s][0], 1e-6) &&
                      close(a.range[s][1], b.range[s][1], 1e-6) && a.curve[s] == b.curve[s] &&
                      a.invert[s] == b.invert[s]);
        }
    }
    for (int i = 0; i < 4; ++i) check(first.beatSync[i] == second.beatSync[i]);
    check(first.beatSync[1] > 0 && first.beatSync[3] > 0);
    for (int i = 0; i < 2; ++i) check(close(first.beatOffset[i], second.beatOffset[i], 1e-6));
    check(first.locked == second.locked && first.displayNotes == second.displayNotes &&
          first.midiProgram == second.midiProgram);
    check(first.name == second.name && first.author == second.author && first.date == second.date);
    return 0;
}
