// How MIDI bank select and program change reach the patch library. The plug-in holds a
// null selector until a library is attached; without one both messages change nothing.
#pragma once

namespace moraine {

class PatchSelector {
public:
    virtual ~PatchSelector() = default;
    // Bank select: makes `group` the current group when it exists; the patch stays.
    virtual void selectGroup(int group) = 0;
    // Program change: the current group's patch assigned to `program` (0..127) becomes
    // current, and the current patch is applied at once. Called on the audio thread, so it
    // must not wait for the fade.
    virtual void selectProgram(int program) = 0;
};

} // namespace moraine
