#include "tools/editor/EditorSession.h"

#include "gui/Images.h"
#include "platform/x11/HostWindow.h"
#include "tools/host/VstHost.h"

#include <atomic>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <thread>
#include <vector>

namespace moraine {

namespace {

using Clock = std::chrono::steady_clock;

struct Profile {
    const char* name;
    int idleMs;
    bool ownThread;       // idle (and open and close) from a thread that is not main
    bool rectBeforeOpen;  // effEditGetRect asked before effEditOpen
    bool scaleBeforeOpen; // the 'PreS'/'AeCs' scale message before effEditOpen
    bool idleFromMaster;  // effEditIdle also run from audioMasterIdle
};

constexpr Profile kProfiles[] = {
    {"ardour", 40, true, false, false, false},
    {"qtractor", 66, false, false, false, true},
    {"carla", 20, false, false, true, false},
    {"juce", 20, false, true, false, false},
};

constexpr std::int32_t fourChars(const char (&s)[5]) {
    return (std::int32_t(s[0]) << 24) | (std::int32_t(s[1]) << 16) | (std::int32_t(s[2]) << 8) |
           std::int32_t(s[3]);
}

struct Instance {
    std::unique_ptr<PluginInstance> plugin;
    std::unique_ptr<x11::HostWindow> window;
    bool open = false;
};

bool askRect(PluginInstance& p) {
    ERect* rect = nullptr;
    const intptr_t ok = p.dispatch(effEditGetRect, 0, 0, &rect);
    if (!ok || !rect) {
        std::printf("effEditGetRect gave no rectangle\n");
        return false;
    }
    std::printf("editor rectangle %d x %d\n", rect->right - rect->left, rect->bottom - rect->top);
    return true;
}

// Renders `seconds` of output and prints its pitch (from upward crossings of its mean,
// after a settling half second) and its peak.
void measureRender(PluginInstance& p, double seconds) {
    const int frames = p.config().blockSize;
    const double rate = p.config().sampleRate;
    std::vector<float> l(static_cast<std::size_t>(frames)), r(static_cast<std::size_t>(frames));
    float* out[2] = {l.data(), r.data()};
    std::vector<float> all;
    const long total = long((seconds + 0.5) * rate);
    while (long(all.size()) < total) {
        p.process(nullptr, out, frames);
        all.insert(all.end(), l.begin(), l.end());
    }
    const std::size_t start = std::size_t(0.5 * rate);
    double mean = 0.0;
    float peak = 0.0f;
    for (std::size_t i = start; i < all.size(); ++i) {
        mean += all[i];
        peak = std::max(peak, std::fabs(all[i]));
    }
    mean /= double(all.size() - start);
    long first = -1, last = -1, crossings = 0;
    for (std::size_t i = start + 1; i < all.size(); ++i) {
        if (all[i - 1] < mean && all[i] >= mean) {
            if (first < 0) first = long(i);
            last = long(i);
            ++crossings;
        }
    }
    const double hz = crossings > 1 ? (crossings - 1) * rate / double(last - first) : 0.0;
    std::printf("render %.2f Hz peak %.4f\n", hz, double(peak));
}

} // namespace

int runEditorSession(const std::string& path, const EditorOptions& o) {
    const Profile* profile = nullptr;
    for (const Profile& p : kProfiles)
        if (o.profile == p.name) profile = &p;
    if (!profile) {
        std::fprintf(stderr, "moraine-host: no host profile '%s'\n", o.profile.c_str());
        return 2;
    }

    std::vector<Instance> instances(std::size_t(std::max(1, o.instances)));
    for (Instance& in : instances) {
        std::string error;
        in.plugin = PluginInstance::load(path, &error);
        if (!in.plugin) {
            std::fprintf(stderr, "moraine-host: %s\n", error.c_str());
            return 2;
        }
        in.plugin->open();
        in.plugin->setSampleRate(in.plugin->config().sampleRate);
        in.plugin->setBlockSize(in.plugin->config().blockSize);
        in.plugin->resume();
        if (!(in.plugin->flags() & effFlagsHasEditor)) {
            std::fprintf(stderr, "moraine-host: the plug-in has no editor\n");
            return 1;
        }
        if (o.unplug)
            for (int index = 90; index <= 178; ++index) in.plugin->setParameter(index, 0.0f);
        if (profile->idleFromMaster) {
            PluginInstance* p = in.plugin.get();
            in.plugin->setIdleHook([p] { p->dispatch(effEditIdle); });
        }
    }

    std::atomic<bool> running{true};
    std::atomic<float> audioPeak{0.0f};
    // The host's other threads: automation and audio, as long as the session lasts.
    std::thread automation, audio;
    if (o.automate || o.flood > 0) {
        automation = std::thread([&] {
            const auto pause = o.flood > 0 ? std::chrono::microseconds(1000000 / o.flood)
                                           : std::chrono::microseconds(10000);
            unsigned step = 0;
            while (running) {
                for (Instance& in : instances) {
                    const int index = 2 + int(step % 60);
                    in.plugin->setParameter(index, float((step * 37) % 100) / 100.0f);
                }
                ++step;
                std::this_thread::sleep_for(pause);
            }
        });
    }
    if (o.audio) {
        audio = std::thread([&] {
            const int frames = instances[0].plugin->config().blockSize;
            std::vector<float> l(static_cast<std::size_t>(frames)), r(static_cast<std::size_t>(frames));
            float* out[2] = {l.data(), r.data()};
            const auto period = std::chrono::microseconds(
                long(1e6 * frames / instances[0].plugin->config().sampleRate));
            if (o.midiNote >= 0 && o.midiNote < 128)
                for (Instance& in : instances)
                    in.plugin->queueMidi(0, 0x90, std::uint8_t(o.midiNote), 100);
            const auto start = Clock::now();
            std::size_t sent = 0;
            while (running) {
                const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
                for (; sent < o.midi.size() && o.midi[sent].at <= elapsed; ++sent) {
                    const auto& m = o.midi[sent];
                    std::printf("midi %.2f s: %02x %d %d\n", elapsed, m.status, m.data1, m.data2);
                    instances[0].plugin->queueMidi(0, uint8_t(m.status), uint8_t(m.data1),
                                                   uint8_t(m.data2));
                }
                for (Instance& in : instances) {
                    in.plugin->process(nullptr, out, frames);
                    for (int i = 0; i < frames; ++i)
                        audioPeak = std::max(audioPeak.load(), std::fabs(l[std::size_t(i)]));
                }
                std::this_thread::sleep_for(period);
            }
        });
    }

    // The host's own connection stays for the whole session, as a real host's does: with no
    // client left between two openings, a bare X server would reset under the next one.
    auto hostConnection = x11::HostWindow::open(1, 1, "moraine-host");

    int status = 0;
    // A script driving the window ends the session as soon as it is done with it.
    const auto stopRequested = [&] {
        return !o.stopFile.empty() && std::filesystem::exists(o.stopFile);
    };
    auto session = [&] {
        for (int cycle = 0; cycle < std::max(1, o.cycles); ++cycle) {
            for (Instance& in : instances) {
                if (!in.plugin) return;
                in.window = x11::HostWindow::open(1010, 623, "Moraine Deck editor");
                if (!in.window) {
                    std::fprintf(stderr, "moraine-host: no X display (opening %d)\n", cycle + 1);
                    status = 1;
                    return;
                }
                PluginInstance& p = *in.plugin;
                if (profile->rectBeforeOpen && !askRect(p)) status = 1;
                if (profile->scaleBeforeOpen)
                    p.dispatch(effVendorSpecific, fourChars("PreS"), fourChars("AeCs"), nullptr,
                               1.0f);
                const unsigned long parent =
                    o.badParent ? in.window->unusedWindowId() : in.window->id();
                in.open = p.dispatch(effEditOpen, 0, 0,
                                     reinterpret_cast<void*>(static_cast<uintptr_t>(parent))) != 0;
                if (!in.open) {
                    std::printf("effEditOpen refused the parent window\n");
                    if (!o.badParent) status = 1;
                    continue;
                }
                if (!askRect(p)) status = 1;
            }
            const auto end = Clock::now() + std::chrono::duration<double>(o.seconds);
            while (Clock::now() < end) {
                for (Instance& in : instances) {
                    in.window->pump();
                    in.plugin->dispatch(effEditIdle);
                }
                // Checked after a round, so input sent before the file appeared is handled.
                if (stopRequested()) break;
                std::this_thread::sleep_for(std::chrono::milliseconds(profile->idleMs));
            }
            if (o.leaveOpen) {
                // Nothing else may be using the plug-ins when they go.
                running = false;
                if (automation.joinable()) automation.join();
                if (audio.joinable()) audio.join();
            }
            for (Instance& in : instances) {
                if (!o.screenshot.empty() && in.open && &in == &instances[0] &&
                    cycle + 1 == std::max(1, o.cycles)) {
                    std::vector<std::uint32_t> pixels;
                    int w = 0, h = 0;
                    if (in.window->captureChild(pixels, w, h) &&
                        gui::writePng(o.screenshot, pixels.data(), w, h, w * 4))
                        std::printf("screenshot %s\n", o.screenshot.c_str());
                    else
                        status = 1;
                }
                if (o.leaveOpen) {
                    // Some hosts unload without closing the editor first.
                    in.plugin.reset();
                    in.window.reset();
                    continue;
                }
                if (in.open) in.plugin->dispatch(effEditClose);
                in.open = false;
                // Idle after close is allowed and does nothing.
                in.plugin->dispatch(effEditIdle);
                in.window.reset();
            }
        }
    };
    if (profile->ownThread) {
        std::thread t(session);
        t.join();
    } else {
        session();
    }
    running = false;
    if (automation.joinable()) automation.join();
    if (audio.joinable()) audio.join();

    if (o.audio) std::printf("audio peak %.4f\n", double(audioPeak.load()));
    if (o.renderAfter > 0.0 && instances[0].plugin) measureRender(*instances[0].plugin, o.renderAfter);
    for (int index : o.printParams)
        if (instances[0].plugin)
            std::printf("param %d %.4f\n", index, double(instances[0].plugin->getParameter(index)));
    if (o.printEdits && instances[0].plugin)
        for (const auto& e : instances[0].plugin->editCalls())
            std::printf("edit %c %d %.4f\n", e.kind, e.index, double(e.value));
    std::printf("editor session done (%s)\n", profile->name);
    return status;
}

} // namespace moraine
