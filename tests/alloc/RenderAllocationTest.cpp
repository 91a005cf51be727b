// The render path must never touch the heap: a host's audio thread cannot wait for the
// allocator. This binary puts a counting front on the C library's allocator, which every
// C++ allocation ends in too, then drives the plug-in through its host entry points.
#include "engine/graph/JackTable.h"
#include "patch/ParameterTable.h"
#include "support/TempDataFolder.h"
#include "tools/host/VstHost.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <thread>

namespace {
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};

void count() {
    if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1);
}
} // namespace

// The standard library's operator new takes its memory from malloc, its aligned form from
// aligned_alloc: counting these sees every allocation anything on the render path makes.
extern "C" void* __libc_malloc(std::size_t);
extern "C" void* __libc_calloc(std::size_t, std::size_t);
extern "C" void* __libc_realloc(void*, std::size_t);
extern "C" void* __libc_memalign(std::size_t, std::size_t);
extern "C" void* malloc(std::size_t n) { return count(), __libc_malloc(n); }
extern "C" void* calloc(std::size_t n, std::size_t size) { return count(), __libc_calloc(n, size); }
extern "C" void* realloc(void* p, std::size_t n) { return count(), __libc_realloc(p, n); }
extern "C" void* aligned_alloc(std::size_t a, std::size_t n) {
    return count(), __libc_memalign(a, n);
}

namespace moraine {
namespace {

// The built library, loaded as a host loads it, on a fresh audio thread (thread-local
// storage in a loaded library would allocate there): notes, mapped controllers, pitch
// bend, both pressures, velocity, bank select and program change (each applying its patch
// inside the render call), parameter and cord changes between blocks, and blocks longer
// than announced. First, the counter must see C++ allocations, plain and aligned.
TEST(RenderAllocation, NothingIsAllocatedWhileRendering) {
    counting = true;
    auto* boxed = new std::vector<int>(100);
    auto* aligned = new (std::align_val_t(64)) int[4];
    counting = false;
    delete boxed;
    operator delete[](aligned, std::align_val_t(64));
    EXPECT_GE(allocations.exchange(0), 3);

    testing::TempDataFolder folder; // empty: the default library is built in it
    std::string error;
    HostConfig config;
    config.blockSize = 256;
    auto instance = PluginInstance::load(MORAINE_PLUGIN_PATH, &error, config);
    ASSERT_TRUE(instance) << error;
    instance->start();
    AEffect* e = instance->effect();
    std::vector<float> in(1024, 0.1f), left(1024), right(1024);
    float* inputs[2] = {in.data(), nullptr}; // a missing input goes through the scratch row
    float* outputs[2] = {left.data(), right.data()};
    const unsigned char messages[10][3] = {{0x90, 60, 100}, {0xB0, 74, 90}, {0x90, 62, 100},
                                           {0xE0, 0, 90},   {0xD0, 70, 0},  {0xA0, 60, 80},
                                           {0x80, 60, 0},   {0xB0, 0, 0},   {0xC0, 0, 0},
                                           {0x90, 48, 100}};
    VstMidiEvent events[10] = {};
    struct {
        VstInt32 numEvents = 10;
        VstIntPtr reserved = 0;
        VstEvent* events[10] = {};
    } list;
    for (int i = 0; i < 10; ++i) {
        events[i].type = kVstMidiType;
        events[i].byteSize = sizeof(VstMidiEvent);
        events[i].deltaFrames = 20 * i;
        for (int b = 0; b < 3; ++b) events[i].midiData[b] = char(messages[i][b]);
        list.events[i] = reinterpret_cast<VstEvent*>(&events[i]);
    }
    e->setParameter(e, 38, 1.0f); // velocity runs through the map once the keyboard gates
    e->processReplacing(e, inputs, outputs, 256);
    std::thread audio([&] {
        counting = true;
        for (int block = 0; block < 200; ++block) {
            events[7].midiData[2] = char(block % 2); // bank select: group 0 or 1
            events[8].midiData[1] = char(block % 3);
            e->dispatcher(e, effProcessEvents, 0, 0, &list, 0.0f);
            // Changes arrive between blocks, as from a host's other thread.
            e->setParameter(e, 2 + block % 80, float(block % 10) / 10.0f);
            e->setParameter(e, kFirstJackParam - 1 + jackNumber(fourcc("pl71")),
                            block % 2 ? float(jackNumber(fourcc("pl54"))) / 1000.0f : 0.0f);
            e->setParameter(e, 81, float(block % 9) / 8.0f);
            e->processReplacing(e, inputs, outputs, block % 3 ? 256 : 1000);
        }
        counting = false;
    });
    audio.join();
    EXPECT_EQ(allocations.load(), 0);
}

} // namespace
} // namespace moraine
