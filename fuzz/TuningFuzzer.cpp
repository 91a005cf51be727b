// Hands arbitrary bytes to the instrument as a tuning dump and as a ".tun" file in its data
// folder. Nothing may crash, and afterwards every key's frequency and voltage is finite.
#include "FuzzSupport.h"
#include "patch/TuningFile.h"
#include "plugin/MorainePlugin.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

using moraine::fuzzing::check;
using moraine::fuzzing::host;

using namespace moraine;

MORAINE_FUZZ_KEEPS_STATE

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string folder = [] {
        const std::string f = fuzzing::emptyLibraryFolder();
        std::filesystem::create_directories(tuningFolder(f));
        return f;
    }();
    static auto plugin = std::make_unique<Moraine_VSTEdit>(&host);
    static std::vector<float> in(64, 0.0f), left(64), right(64);
    float* inputs[2] = {in.data(), in.data()};
    float* outputs[2] = {left.data(), right.data()};

    // The first byte picks how much of the rest is handed over: short dumps matter most.
    const size_t length = size == 0 ? 0 : (data[0] & 1 ? size - 1 : (size - 1) % 420);
    const uint8_t* body = size == 0 ? data : data + 1;
    const bool accepted = plugin->applyTuningDump(body, length);
    check(!accepted || length >= kTuningDataEnd);

    std::ofstream(tuningPath(folder, 0), std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(body), std::streamsize(length));
    plugin->loadTuning(0);
    const std::vector<std::string> names = plugin->listTunings();
    check(names.size() == 1 && names[0].size() <= kTuningNameLength);

    plugin->processReplacing(inputs, outputs, 64);
    const KeyboardController& kb = EngineAccess::keyboard(*plugin);
    for (int k = 0; k < 128; ++k)
        check(std::isfinite(kb.keyFrequency[k]) && kb.keyFrequency[k] > 0.0f &&
              std::isfinite(kb.keyVolts[k]));
    for (int i = 0; i < 64; ++i)
        check(std::isfinite(left[size_t(i)]) && std::isfinite(right[size_t(i)]));
    // Now and then start again from equal temperament, so tables do not only drift.
    if (size > 0 && data[0] == 0xFF) plugin->resetTuning();
    return 0;
}
