// The render path must never touch the heap: a host's audio thread cannot wait for the
// allocator. This binary replaces the global allocator with one that counts, then drives
// the plug-in through its host entry points.
#include "engine/graph/JackTable.h"
#include "plugin/MorainePlugin.h"
#include "support/TempDataFolder.h"
#include "tools/host/VstHost.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>
#include <thread>
#include <vector>

namespace {
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};

void* countedAlloc(std::size_t size) {
    if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
} // namespace

void* operator new(std::size_t n) {
    return countedAlloc(n);
}
void* operator new[](std::size_t n) {
    return countedAlloc(n);
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
    try {
        return countedAlloc(n);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t n, const std::nothrow_t& t) noexcept {
    return operator new(n, t);
}
void* operator new(std::size_t n, std::align_val_t a) {
    if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1);
    std::size_t align = std::size_t(a);
    if (void* p = std::aligned_alloc(align, (n + align - 1) / align * align)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t n, std::align_val_t a) {
    return operator new(n, a);
}
__attribute__((noinline)) void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
__attribute__((noinline)) void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
__attribute__((noinline)) void operator delete(void* p, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
    std::free(p);
}
__attribute__((noinline)) void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept {
    std::free(p);
}

// The deletes stay out of line: inlined into a caller, g++ cannot see that each one
// pairs with the matching new above and warns about a mismatch.

// C allocations made by anything the render path calls.
extern "C" void* __libc_malloc(std::size_t);
extern "C" void* __libc_calloc(std::size_t, std::size_t);
extern "C" void* __libc_realloc(void*, std::size_t);
extern "C" void* malloc(std::size_t n) {
    if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1);
    return __libc_malloc(n);
}
extern "C" void* calloc(std::size_t n, std::size_t size) {
    if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1);
    return __libc_calloc(n, size);
}
extern "C" void* realloc(void* p, std::size_t n) {
    if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1);
    return __libc_realloc(p, n);
}

namespace moraine {
namespace {

VstIntPtr host(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

struct Events {
    VstInt32 numEvents = 0;
    VstIntPtr reserved = 0;
    VstEvent* events[8] = {};
};

// An instance opened and resumed as a host does: 48 kHz, blocks of 256. The host closes it.
Moraine_VSTEdit* startPlugin() {
    auto* plugin = new Moraine_VSTEdit(&host);
    AEffect* e = plugin->getAeffect();
    e->dispatcher(e, effOpen, 0, 0, nullptr, 0.0f);
    e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    e->dispatcher(e, effSetBlockSize, 0, 256, nullptr, 0.0f);
    e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
    return plugin;
}

TEST(RenderAllocation, TheCounterSeesBothKindsOfAllocation) {
    allocations = 0;
    counting = true;
    auto* boxed = new std::vector<int>(100);
    void* raw = std::malloc(32);
    counting = false;
    delete boxed;
    std::free(raw);
    EXPECT_GE(allocations.load(), 3);
    allocations = 0;
}

TEST(RenderAllocation, NothingIsAllocatedWhileRendering) {
    auto* plugin = startPlugin();
    AEffect* e = plugin->getAeffect();

    std::vector<float> in(1024, 0.1f), left(1024), right(1024);
    float* inputs[2] = {in.data(), nullptr}; // a missing input goes through the scratch row
    float* outputs[2] = {left.data(), right.data()};
    VstMidiEvent notes[8] = {};
    Events list;
    for (int i = 0; i < 8; ++i) {
        notes[i].type = kVstMidiType;
        notes[i].byteSize = sizeof(VstMidiEvent);
        notes[i].deltaFrames = 30 * i;
        notes[i].midiData[0] = char(i % 2 ? 0x80 : 0x90);
        notes[i].midiData[1] = char(60 + i / 2);
        notes[i].midiData[2] = 100;
        list.events[i] = reinterpret_cast<VstEvent*>(&notes[i]);
    }
    // Controllers, pitch bend and both pressures run through the MIDI map, and velocity
    // too once the keyboard gates the envelopes.
    const unsigned char mapped[4][3] = {
        {0xB0, 74, 90}, {0xE0, 0, 90}, {0xD0, 70, 0}, {0xA0, 60, 80}};
    for (int i = 0; i < 4; ++i) {
        VstMidiEvent& m = notes[2 * i + 1];
        for (int b = 0; b < 3; ++b) m.midiData[b] = char(mapped[i][b]);
    }
    list.numEvents = 8;
    e->setParameter(e, 38, 1.0f);
    e->processReplacing(e, inputs, outputs, 256);

    counting = true;
    for (int block = 0; block < 200; ++block) {
        e->dispatcher(e, effProcessEvents, 0, 0, &list, 0.0f);
        // Parameter and cord changes arrive between blocks, as from a host's other thread.
        e->setParameter(e, 2 + block % 80, float(block % 10) / 10.0f);
        e->setParameter(e, kFirstJackParam - 1 + jackNumber(fourcc("pl71")),
                        block % 2 ? float(jackNumber(fourcc("pl54"))) / 1000.0f : 0.0f);
        e->setParameter(e, 81, float(block % 9) / 8.0f);
        e->processReplacing(e, inputs, outputs, block % 3 ? 256 : 1000);
    }
    counting = false;
    EXPECT_EQ(allocations.load(), 0);

    e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
}

// A program change applies its patch inside the render call; bank select picks a group
// there too. Neither may allocate.
TEST(RenderAllocation, ProgramChangesApplyPatchesWithoutAllocating) {
    testing::TempDataFolder folder; // empty: the default library is built in it
    auto* plugin = startPlugin();
    AEffect* e = plugin->getAeffect();
    ASSERT_GE(plugin->library().groups.size(), 2u);

    std::vector<float> in(256, 0.0f), left(256), right(256);
    float* inputs[2] = {in.data(), in.data()};
    float* outputs[2] = {left.data(), right.data()};
    VstMidiEvent events[4] = {};
    const unsigned char messages[4][3] = {
        {0xB0, 0, 0}, {0xC0, 0, 0}, {0x90, 48, 100}, {0xC0, 1, 0}};
    Events list;
    for (int i = 0; i < 4; ++i) {
        events[i].type = kVstMidiType;
        events[i].byteSize = sizeof(VstMidiEvent);
        events[i].deltaFrames = 50 * i;
        for (int b = 0; b < 3; ++b) events[i].midiData[b] = char(messages[i][b]);
        list.events[i] = reinterpret_cast<VstEvent*>(&events[i]);
    }
    list.numEvents = 4;
    e->processReplacing(e, inputs, outputs, 256);

    counting = true;
    for (int block = 0; block < 40; ++block) {
        events[0].midiData[2] = char(block % 2); // bank select: group 0 or 1
        events[1].midiData[1] = char(block % 3);
        e->dispatcher(e, effProcessEvents, 0, 0, &list, 0.0f);
        e->processReplacing(e, inputs, outputs, 256);
    }
    counting = false;
    EXPECT_EQ(allocations.load(), 0);
    // The last block chose group 1, then its program 1; the control side follows on its
    // next call.
    plugin->serviceControlSide();
    EXPECT_EQ(plugin->library().currentGroup, 1);
    EXPECT_EQ(plugin->currentTexts().name, "Warm Pad");
    e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
}

// The built library, loaded as a host loads it: its first render on a fresh thread must
// not allocate either (thread-local storage in a loaded library would).
TEST(RenderAllocation, TheLoadedLibraryRendersWithoutAllocating) {
    std::string error;
    auto instance = PluginInstance::load(MORAINE_PLUGIN_PATH, &error);
    ASSERT_TRUE(instance) << error;
    instance->start();
    AEffect* e = instance->effect();
    std::vector<float> left(512), right(512);
    float* outputs[2] = {left.data(), right.data()};
    float* inputs[2] = {left.data(), right.data()};
    VstMidiEvent note{};
    note.type = kVstMidiType;
    note.byteSize = sizeof note;
    note.midiData[0] = char(0x90);
    note.midiData[1] = 60;
    note.midiData[2] = 100;
    Events list;
    list.numEvents = 1;
    list.events[0] = reinterpret_cast<VstEvent*>(&note);
    e->setParameter(e, 81, 1.0f);

    std::thread audio([&] {
        counting = true;
        for (int block = 0; block < 50; ++block) {
            e->dispatcher(e, effProcessEvents, 0, 0, &list, 0.0f);
            e->processReplacing(e, inputs, outputs, 512);
        }
        counting = false;
    });
    audio.join();
    EXPECT_EQ(allocations.load(), 0);
}

} // namespace
} // namespace moraine
