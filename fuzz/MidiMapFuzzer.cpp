// Reads arbitrary bytes as a ".mmap" file into the default map, then maps every value of
// every source through every entry: nothing may crash, hang or leave a parameter's range.
#include "patch/MidiMap.h"
#include "patch/ParameterTable.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <utility>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace moraine;
    if (size == 0) return 0;
    std::FILE* f = fmemopen(const_cast<uint8_t*>(data), size, "r");
    if (!f) return 0;
    MidiMap map;
    map.readMapFile(f);
    std::fclose(f);
    if (map.size() > MidiMap::kCapacity) std::abort();

    for (int source : {int(kSourceController), int(kSourceVelocity), int(kSourceModWheel),
                       int(kSourceAftertouch)}) {
        // Each controller and channel once: a map of one key repeated would otherwise cost
        // the square of its size in matches.
        std::set<std::pair<int, int>> seen;
        for (int i = 0; i < map.size(); ++i) {
            const MidiMapEntry& e = map.entry(i);
            if (e.target < 1 || e.target >= kParamCount) std::abort();
            // Only controllers match by number and channel; the other sources match the
            // same entries whichever entry we start from.
            if (source != kSourceController && i > 0) break;
            if (!seen.insert({e.controller, e.channel}).second) continue;
            MidiMatch m;
            int cursor = 0, found = 0;
            while (map.nextMatch(cursor, source, e.controller, e.channel, m)) {
                if (++found > map.size()) std::abort(); // the cursor must move on
                const ParameterInfo& p = parameterInfo(m.target);
                for (int value : {0, 1, 63, 64, 127, 8192, 16383}) {
                    const float v = mapMidiValue(m, value, e.controller == kPitchBendController);
                    if (!std::isfinite(v) || v < std::fmin(p.minimum, p.maximum) ||
                        v > std::fmax(p.minimum, p.maximum))
                        std::abort();
                }
            }
        }
    }

    // What is read writes back and reads again to the same map (in memory: no disk per input).
    std::string text = map.mapFileText();
    MidiMap again;
    again.clear();
    if (!text.empty()) {
        std::FILE* back = fmemopen(text.data(), text.size(), "r");
        if (!back) std::abort();
        again.readMapFile(back);
        std::fclose(back);
    }
    if (again.size() != map.size()) std::abort();
    for (int i = 0; i < map.size(); ++i) {
        const MidiMapEntry &a = map.entry(i), &b = again.entry(i);
        if (a.target != b.target || a.sources != b.sources || a.controller != b.controller ||
            a.channel != b.channel || a.curve[0] != b.curve[0] || a.invert[0] != b.invert[0])
            std::abort();
    }
    return 0;
}
