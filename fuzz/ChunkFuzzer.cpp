// Hands arbitrary bytes to the instrument as the host's state chunk. Nothing may crash, no
// jack may hold a number outside the jack table, every value stays in its range, the
// output stays finite, and the state the instrument then reports reads back to itself.
#include "FuzzSupport.h"
#include "engine/graph/JackTable.h"
#include "plugin/MorainePlugin.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

using moraine::fuzzing::check;
using moraine::fuzzing::host;

using namespace moraine;

// A short block: enough to apply the state and see the output stay finite.
constexpr int kFrames = 32;

MORAINE_FUZZ_KEEPS_STATE

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string folder = fuzzing::emptyLibraryFolder();
    static auto plugin = std::make_unique<Moraine_VSTEdit>(&host);
    static std::vector<float> in(kFrames, 0.0f), left(kFrames), right(kFrames);

    std::vector<char> bytes(data, data + size);
    plugin->setChunk(bytes.empty() ? nullptr : bytes.data(), VstInt32(size), false);
    // Rewiring every voice for the new cords is most of a render's cost here, and the host
    // calls target renders any parameter state; one input in sixteen (by its length, so a
    // failing input fails again alone) is played to see the output stay finite.
    if (size % 16 == 0) {
        float* inputs[2] = {in.data(), in.data()};
        float* outputs[2] = {left.data(), right.data()};
        plugin->processReplacing(inputs, outputs, kFrames);
        for (int i = 0; i < kFrames; ++i)
            check(std::isfinite(left[size_t(i)]) && std::isfinite(right[size_t(i)]));
    }

    for (int i = 1; i < kParamCount; ++i) {
        const float v = plugin->engineValue(i);
        check(std::isfinite(v));
        if (i >= kFirstJackParam) {
            check(v >= 0.0f && v <= float(kJackCount) && v == std::floor(v));
        } else {
            const ParameterInfo& p = parameterInfo(i);
            if (p.maximum > p.minimum) check(v >= p.minimum && v <= p.maximum);
        }
    }

    // What the instrument reports restores itself exactly (after one pass, in which a CR
    // that ends the notes line comes back as LF).
    std::string previous;
    for (int pass = 0; pass < 3; ++pass) {
        void* chunk = nullptr;
        const VstInt32 length = plugin->getChunk(&chunk, false);
        check(length >= 0 && length < kPatchTextCapacity && chunk);
        const std::string text(static_cast<const char*>(chunk), size_t(length));
        if (pass == 2) check(text == previous);
        if (pass == 2) break;
        previous = text;
        std::vector<char> again(text.begin(), text.end());
        plugin->setChunk(again.data(), VstInt32(again.size()), false);
    }
    return 0;
}
