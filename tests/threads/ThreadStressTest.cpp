// Every thread that touches the instrument at once, as hosts and the editor do: one renders
// and hands it MIDI (program changes, bank selects and notes), one automates parameters
// (cords included), one saves and restores the host's state, one edits the MIDI map and
// retunes. Built with ThreadSanitizer in CI, where any unsynchronised access fails the run;
// elsewhere it still checks that nothing crashes and every sample stays finite.
#include "patch/TuningFile.h"
#include "plugin/MorainePlugin.h"
#include "support/TempDataFolder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <thread>
#include <vector>

namespace moraine {
namespace {

VstIntPtr hostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

std::string tuningDump(int program) {
    std::string d(kTuningDumpLength, char(0x7F));
    const char head[6] = {char(0xF0), 0x7E, 0x10, 0x08, 0x01, char(program)};
    std::memcpy(d.data(), head, sizeof head);
    std::memset(&d[kTuningNameOffset], 'x', kTuningNameLength);
    for (int k = 0; k < 128; ++k)
        d[kTuningEntriesOffset + 3 * size_t(k)] = char((k + program) % 128);
    d[406] = 0x55;
    d[407] = char(0xF7);
    return d;
}

TEST(ThreadStress, RenderAutomationMidiChunksMapAndTuningsAtOnce) {
    // A data folder of its own that starts with the default library, so that program
    // changes and bank selects have patches to choose.
    testing::TempDataFolder folder;
    std::filesystem::create_directories(folder.path() + "Tunings");
    folder.write("Tunings/0.tun", tuningDump(5));
    auto plugin = std::make_unique<Moraine_VSTEdit>(&hostCallback);
    AEffect* e = plugin->getAeffect();
    e->dispatcher(e, effOpen, 0, 0, nullptr, 0.0f);
    e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    e->dispatcher(e, effSetBlockSize, 0, 256, nullptr, 0.0f);
    e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);

    const char* seconds = std::getenv("MORAINE_STRESS_SECONDS");
    const double s = seconds ? std::atof(seconds) : 0.0;
    const auto until =
        std::chrono::steady_clock::now() + std::chrono::duration<double>(s > 0 ? s : 2.0);
    auto running = [&] { return std::chrono::steady_clock::now() < until; };
    std::atomic<long> blocks{0}, badSamples{0}, chunks{0};

    std::thread audio([&] {
        std::mt19937 random(2);
        std::vector<float> l(256), r(256);
        float* out[2] = {l.data(), r.data()};
        VstMidiEvent event{};
        event.type = kVstMidiType;
        event.byteSize = sizeof event;
        struct {
            VstInt32 numEvents = 1;
            VstIntPtr reserved = 0;
            VstEvent* events[1];
        } list{1, 0, {reinterpret_cast<VstEvent*>(&event)}};
        while (running()) {
            // One event a block: notes, and now and then a patch change inside the render.
            using B = unsigned char;
            const B kinds[4][3] = {{0xB0, 0, B(random() % 4)},  // bank select
                                   {0xC0, B(random() % 24), 0}, // program change
                                   {0x90, B(36 + random() % 48), B(random() % 128)},
                                   {0x90, B(36 + random() % 48), 0}};
            std::memcpy(event.midiData, kinds[random() % 4], 3);
            event.deltaFrames = int(random() % 256);
            e->dispatcher(e, effProcessEvents, 0, 0, &list, 0.0f);
            e->processReplacing(e, nullptr, out, 256);
            for (int i = 0; i < 256; ++i)
                if (!std::isfinite(l[size_t(i)]) || !std::isfinite(r[size_t(i)])) ++badSamples;
            ++blocks;
        }
    });
    std::thread automation([&] {
        std::mt19937 random(1);
        while (running()) {
            const int index = 1 + int(random() % 177);
            float value = float(random() % 1001) / 1000.0f;
            if (index >= kFirstJackParam) value = float(random() % 90) / 1000.0f; // a jack or none
            if (index != kParamMasterBypass) e->setParameter(e, index, value);
            e->getParameter(e, int(random() % 178));
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    std::thread state([&] {
        for (int n = 0; running(); ++n) {
            void* data = nullptr;
            const auto size = e->dispatcher(e, effGetChunk, 0, 0, &data, 0.0f);
            std::string copy(static_cast<const char*>(data), size_t(size));
            char name[kVstMaxProgNameLen + 1] = {};
            e->dispatcher(e, effGetProgramName, 0, 0, name, 0.0f);
            // Restoring rewires everything; a host does it far less often than it saves.
            if (n % 10 == 0)
                e->dispatcher(e, effSetChunk, 0, VstIntPtr(copy.size()), copy.data(), 0.0f);
            ++chunks;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    std::thread mapAndTunings([&] {
        std::mt19937 random(3);
        const float ranges[4][2] = {{0, 1}, {0, 1}, {0, 1}, {0, 1}};
        const int curves[4] = {0, 0, 0, 0}, inverts[4] = {0, 0, 0, 0};
        while (running()) {
            {
                auto lock = plugin->panelHost().controlLock();
                plugin->midiMap().setEntry(0, int(1 + random() % 100), 0, int(2 + random() % 80),
                                           kSourceController, ranges, curves, inverts);
                plugin->publishMidiMap();
                plugin->panelHost().serviceControlSide();
            }
            const std::string dump = tuningDump(int(random() % 100));
            if (random() % 2)
                plugin->applyTuningDump(reinterpret_cast<const unsigned char*>(dump.data()),
                                        dump.size());
            else
                plugin->loadTuning(0);
            if (random() % 8 == 0) plugin->resetTuning();
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
        }
    });
    for (std::thread* t : {&audio, &automation, &state, &mapAndTunings}) t->join();

    EXPECT_GT(blocks.load(), 10);
    EXPECT_GT(chunks.load(), 10);
    EXPECT_EQ(badSamples.load(), 0);
    e->dispatcher(e, effMainsChanged, 0, 0, nullptr, 0.0f);
    plugin.reset();
}

} // namespace
} // namespace moraine
