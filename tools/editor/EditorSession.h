// moraine-host --editor: opens the plug-in's editor in a window of its own and drives it the
// way one of the Linux hosts does.
#pragma once

#include <string>
#include <vector>

namespace moraine {

struct EditorOptions {
    std::string profile = "ardour"; // ardour, qtractor, carla, juce
    std::string screenshot;         // PNG of the editor window once the panel has settled
    double seconds = 1.0;           // how long each opening lasts
    bool automate = false;          // a background thread sets parameters every 10 ms
    int flood = 0;                  // ... or this many times a second
    int cycles = 1;                 // open and close this many times
    int instances = 1;              // editors open at once
    bool badParent = false;         // hand effEditOpen a window that does not exist
    bool audio = false;             // render blocks on a thread of its own meanwhile
    bool printEdits = false;        // list begin/automate/end calls at the end
    bool leaveOpen = false;         // close the plug-in with its editor still open
    bool unplug = false;            // every jack parameter set to 0 before the editor opens
    int midiNote = -1;              // a note-on the audio thread sends first (with audio)
    double renderAfter = 0.0;       // seconds rendered after the editor closed, measured
    // MIDI the audio thread sends once the session has run `at` seconds (needs audio).
    struct TimedMidi {
        double at;
        int status, data1, data2;
    };
    std::vector<TimedMidi> midi;
    std::vector<int> printParams; // parameters whose values are printed at the end
    std::string stopFile;         // once this file exists, the opening ends early
};

// Returns the process exit status.
int runEditorSession(const std::string& pluginPath, const EditorOptions& options);

} // namespace moraine
