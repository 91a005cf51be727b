// moraine-host: loads a VST 2 plug-in and prints what it says about itself.
#include "tools/editor/EditorSession.h"
#include "tools/host/VstHost.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr int kExitUsage = 2;

void usage(std::FILE* out) {
    std::fprintf(out,
                 "usage: moraine-host [--params] PLUGIN.so\n"
                 "       moraine-host --editor [OPTIONS] PLUGIN.so\n"
                 "  Loads a VST 2 plug-in and prints its identity.\n"
                 "  --params  also list every parameter: index, name, label, display, value\n"
                 "  --editor  open the editor in a window and drive it like a host:\n"
                 "    --profile ardour|qtractor|carla|juce   idle period and call order\n"
                 "    --seconds S        how long the editor stays open (1)\n"
                 "    --screenshot F.png the editor window once the panel has settled\n"
                 "    --automate         set parameters from another thread every 10 ms\n"
                 "    --flood N          ... N times a second\n"
                 "    --audio            render audio on a thread of its own meanwhile\n"
                 "    --cycles N         open and close N times\n"
                 "    --instances N      N plug-ins with their editors open at once\n"
                 "    --bad-parent       hand the editor a window that does not exist\n"
                 "    --print-edits      list begin edit, automate and end edit calls\n"
                 "    --leave-open       unload the plug-in with its editor open\n"
                 "    --unplug           pull every cord out (jack parameters to 0) before opening\n"
                 "    --note N           the audio thread plays MIDI note N (needs --audio)\n"
                 "    --render-after S   render S seconds once the editor is closed and print\n"
                 "                       the output's pitch and peak\n"
                 "    --midi-at T:S:D1:D2  with --audio: send a MIDI message T seconds in\n"
                 "    --print-param N    print parameter N's value at the end\n"
                 "    --stop-file F      end each opening early once file F exists\n");
}

// The unique ID as its four characters; bytes that do not print become '?'.
std::string fourCharacters(int32_t id) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const auto c = static_cast<unsigned char>(uint32_t(id) >> shift);
        text += std::isprint(c) ? char(c) : '?';
    }
    return text;
}

std::string decodeFlags(int flags) {
    static const struct {
        int bit;
        const char* name;
    } kNames[] = {
        {effFlagsIsSynth, "synth"},          {effFlagsProgramChunks, "chunks"},
        {effFlagsCanReplacing, "replacing"}, {effFlagsCanDoubleReplacing, "double-replacing"},
        {effFlagsHasEditor, "editor"},       {effFlagsNoSoundInStop, "no-sound-in-stop"},
    };
    std::string text;
    for (const auto& n : kNames) {
        if (!(flags & n.bit)) continue;
        if (!text.empty()) text += ' ';
        text += n.name;
    }
    return text.empty() ? "none" : text;
}

const char* canDoText(intptr_t answer) {
    if (answer > 0) return "yes";
    if (answer < 0) return "no";
    return "don't know";
}

void printIdentity(moraine::PluginInstance& plugin) {
    const int32_t id = plugin.uniqueId();
    std::printf("Unique ID:      '%s' (0x%08X)\n", fourCharacters(id).c_str(), unsigned(id));
    std::printf("Version:        %d\n", int(plugin.effect()->version));
    std::printf("Inputs:         %d\n", plugin.numInputs());
    std::printf("Outputs:        %d\n", plugin.numOutputs());
    std::printf("Parameters:     %d\n", plugin.numParams());
    std::printf("Programs:       %d\n", plugin.numPrograms());
    std::printf("Flags:          %s (0x%X)\n", decodeFlags(plugin.flags()).c_str(),
                unsigned(plugin.flags()));
    std::printf("Effect name:    %s\n", plugin.effectName().c_str());
    std::printf("Vendor:         %s\n", plugin.vendorString().c_str());
    std::printf("Product:        %s\n", plugin.productString().c_str());
    std::printf("Vendor version: %d\n", plugin.vendorVersion());
    for (const char* question : {"receiveVstEvents", "receiveVstMidiEvent", "sendVstEvents"})
        std::printf("Can do %-20s %s\n", (std::string(question) + ":").c_str(),
                    canDoText(plugin.canDo(question)));
}

void printParameters(moraine::PluginInstance& plugin) {
    std::printf("\n%5s  %-32s %-10s %-16s %s\n", "Index", "Name", "Label", "Display", "Value");
    for (int i = 0; i < plugin.numParams(); ++i)
        std::printf("%5d  %-32s %-10s %-16s %.6f\n", i, plugin.parameterName(i).c_str(),
                    plugin.parameterLabel(i).c_str(), plugin.parameterDisplay(i).c_str(),
                    double(plugin.getParameter(i)));
}

} // namespace

int main(int argc, char** argv) {
    bool params = false, editor = false;
    moraine::EditorOptions options;
    std::string path;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--params") {
            params = true;
        } else if (arg == "--editor") {
            editor = true;
        } else if (arg == "--profile" && hasValue) {
            options.profile = argv[++i];
        } else if (arg == "--seconds" && hasValue) {
            options.seconds = std::atof(argv[++i]);
        } else if (arg == "--screenshot" && hasValue) {
            options.screenshot = argv[++i];
        } else if (arg == "--automate") {
            options.automate = true;
        } else if (arg == "--flood" && hasValue) {
            options.flood = std::atoi(argv[++i]);
        } else if (arg == "--audio") {
            options.audio = true;
        } else if (arg == "--cycles" && hasValue) {
            options.cycles = std::atoi(argv[++i]);
        } else if (arg == "--instances" && hasValue) {
            options.instances = std::atoi(argv[++i]);
        } else if (arg == "--bad-parent") {
            options.badParent = true;
        } else if (arg == "--unplug") {
            options.unplug = true;
        } else if (arg == "--note" && hasValue) {
            options.midiNote = std::atoi(argv[++i]);
        } else if (arg == "--render-after" && hasValue) {
            options.renderAfter = std::atof(argv[++i]);
        } else if (arg == "--print-edits") {
            options.printEdits = true;
        } else if (arg == "--midi-at" && hasValue) {
            // SECONDS:STATUS:DATA1:DATA2, numbers in C notation (0xB0 for a controller)
            moraine::EditorOptions::TimedMidi m{};
            char* end = nullptr;
            const char* text = argv[++i];
            m.at = std::strtod(text, &end);
            long fields[3] = {0, 0, 0};
            for (long& f : fields) {
                if (!end || *end != ':') break;
                f = std::strtol(end + 1, &end, 0);
            }
            if (!end || *end || fields[0] < 0x80 || fields[0] > 0xFF || fields[1] < 0 ||
                fields[1] > 127 || fields[2] < 0 || fields[2] > 127) {
                std::fprintf(stderr, "moraine-host: bad --midi-at '%s'\n", text);
                return kExitUsage;
            }
            m.status = int(fields[0]);
            m.data1 = int(fields[1]);
            m.data2 = int(fields[2]);
            options.midi.push_back(m);
        } else if (arg == "--print-param" && hasValue) {
            options.printParams.push_back(std::atoi(argv[++i]));
        } else if (arg == "--stop-file" && hasValue) {
            options.stopFile = argv[++i];
        } else if (arg == "--leave-open") {
            options.leaveOpen = true;
        } else if (arg == "--help" || arg == "-h") {
            usage(stdout);
            return 0;
        } else if (arg.starts_with("-") || !path.empty()) {
            std::fprintf(stderr, "moraine-host: unexpected argument '%s'\n", arg.c_str());
            usage(stderr);
            return kExitUsage;
        } else {
            path = arg;
        }
    }
    if (path.empty()) {
        usage(stderr);
        return kExitUsage;
    }

    if (editor) return moraine::runEditorSession(path, options);

    std::string error;
    auto plugin = moraine::PluginInstance::load(path, &error);
    if (!plugin) {
        std::fprintf(stderr, "moraine-host: %s\n", error.c_str());
        return kExitUsage;
    }
    // Opened and configured but not resumed: enough for every question asked here.
    plugin->open();
    plugin->setSampleRate(plugin->config().sampleRate);
    plugin->setBlockSize(plugin->config().blockSize);

    std::printf("Plug-in:        %s\n", path.c_str());
    printIdentity(*plugin);
    if (params) printParameters(*plugin);
    return 0;
}
