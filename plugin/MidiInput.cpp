// MIDI input on the audio thread: events dispatched at their frame, controllers, pitch
// bend and pressure through the MIDI map, velocity per voice, and the host's tempo.
#include "plugin/MorainePlugin.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace moraine {

void Moraine_VST::dispatchMidi(int frame) {
    while (!midi_.empty() && midi_.front().deltaFrames <= frame) {
        const VstMidiEvent e = midi_.front();
        midi_.pop();
        const int status = static_cast<unsigned char>(e.midiData[0]);
        const int channel = status & 15;
        const int d1 = e.midiData[1] & 127;
        const int d2 = e.midiData[2] & 127;
        const int kind = status & 0xF0;
        if (kind < 0x80 || kind == 0xF0) continue; // not a channel message
        midiActivity_.store(1.0f, std::memory_order_relaxed);
        midiHold_ = 20;
        switch (kind) {
        case 0x90:
            playNote(d1, d2);
            break;
        case 0x80:
            playNote(d1, 0);
            break;
        case 0xB0:
            lastController_.store(float(d1), std::memory_order_relaxed);
            if (d1 == 0) {
                // Bank select chooses a group; the sound stays until a program change.
                if (PatchSelector* p = patchSelector_.load(std::memory_order_acquire))
                    p->selectGroup(d2);
            } else {
                midiController(channel, d1, d2, e.deltaFrames);
            }
            break;
        case 0xE0:
            lastController_.store(float(57344 + d1), std::memory_order_relaxed);
            pitchBend(channel, d1, d2, e.deltaFrames);
            break;
        case 0xC0:
            programChange(channel, d1);
            break;
        case 0xD0:
            channelPressure(channel, d1, e.deltaFrames);
            break;
        case 0xA0:
            polyphonicPressure(channel, d1, d2, e.deltaFrames);
            break;
        default:
            break;
        }
    }
}

void Moraine_VST::applyMidiMap(int source, int controller, int channel, int value,
                               bool fourteenBit) {
    MidiMatch m;
    int cursor = 0;
    while (audioMap_.nextMatch(cursor, source, controller, channel, m)) {
        midiTarget_.store(m.target, std::memory_order_relaxed);
        setFromEngineValue(m.target, mapMidiValue(m, value, fourteenBit));
    }
    midiTarget_.store(-1, std::memory_order_relaxed);
}

void Moraine_VST::midiController(int channel, int controller, int value, int) {
    if (controller == 1)
        applyMidiMap(kSourceModWheel, 0, 0, value, false);
    else
        applyMidiMap(kSourceController, controller, channel, value, false);
}

void Moraine_VST::pitchBend(int channel, int lsb, int msb, int) {
    applyMidiMap(kSourceController, kPitchBendController, channel, (msb & 127) * 128 + (lsb & 127),
                 true);
}

void Moraine_VST::channelPressure(int, int value, int) {
    applyMidiMap(kSourceAftertouch, 0, 0, value, false);
}

// Bank select chooses a group, a program change a patch of it; both through the selector,
// which by default reads the published program table and never touches the library.
void Moraine_VST::programChange(int, int program) {
    if (PatchSelector* p = patchSelector_.load(std::memory_order_acquire))
        p->selectProgram(std::clamp(program, 0, 127));
}

void Moraine_VST::polyphonicPressure(int, int note, int value, int) {
    if (note < 0 || note > 127) return;
    const int count = keyboard_.voicesInUse();
    for (int i = 0; i < count; ++i) {
        // Two-note play keeps both held keys on the first voice.
        const bool holds =
            keyboard_.keyDown[note] &&
            (count == 1 ? note == keyboard_.lowerKey || note == keyboard_.upperKey
                        : keyboard_.voiceKey[i] == note && voices_[i]->mods.kbdGate.keyHeld);
        if (!holds) continue;
        MidiMatch m;
        int cursor = 0;
        while (audioMap_.nextMatch(cursor, kSourceAftertouch, 0, 0, m)) {
            if (m.target >= kFirstJackParam) continue; // cords are never per voice
            midiTarget_.store(m.target, std::memory_order_relaxed);
            applyVoiceParameter(*voices_[i], m.target, mapMidiValue(m, value, false));
        }
    }
    midiTarget_.store(-1, std::memory_order_relaxed);
}

void Moraine_VST::velocityHook(void* context, int key, int velocity, int voice) {
    static_cast<Moraine_VST*>(context)->applyVelocity(key, velocity, voice);
}

// The voice that plays the note glides to the mapped value in 40 samples rather than
// 4000, so the note starts with it; the previous rate comes back afterwards (a patch
// change may be running its own fast ramps).
void Moraine_VST::applyVelocity(int, int velocity, int voiceIndex) {
    if (voiceIndex < 0 || voiceIndex >= kMaxVoices) return;
    Voice& voice = *voices_[voiceIndex];
    const bool mono = keyboard_.voicesInUse() == 1;
    const float savedRate = voice.rampRate;
    voice.rampRate = float(voice.sampleRate) / 40.0f;
    MidiMatch m;
    int cursor = 0;
    while (audioMap_.nextMatch(cursor, kSourceVelocity, 0, 0, m)) {
        const float v = mapMidiValue(m, velocity, false);
        midiTarget_.store(m.target, std::memory_order_relaxed);
        if (mono)
            setFromEngineValue(m.target, v);
        else if (m.target < kFirstJackParam)
            applyVoiceParameter(voice, m.target, v);
    }
    midiTarget_.store(-1, std::memory_order_relaxed);
    voice.rampRate = savedRate;
}

// The host's musical position, once per block. Only the fraction of a cycle matters to
// the synchronised outputs, and taking it in double keeps a long song's position exact.
void Moraine_VST::readTempo() {
    if (!internalClockSync_ && !lfoSync_) return;
    const VstTimeInfo* t = getTimeInfo(kVstPpqPosValid);
    if (!t || !(t->flags & kVstPpqPosValid) || !std::isfinite(t->ppqPos)) return;
    auto cycle = [](double factor, double position, double offset) {
        const double x = factor * position + offset;
        const double fraction = x - std::floor(x);
        return std::isfinite(fraction) ? float(std::clamp(fraction, 0.0, 0.99999994)) : 0.0f;
    };
    SharedModules::Store& s = *shared_.store;
    if (internalClockSync_)
        s.internalClock.syncValue = cycle(clockFactor_, t->ppqPos, clockBeatOffset_);
    if (lfoSync_) s.lfo.syncPhase = cycle(lfoFactor_, t->ppqPos, lfoBeatOffset_);
}

} // namespace moraine
