// One voice: a complete copy of the patchable circuit. Nodes, links and output jacks
// are built once from the circuit tables and never added or removed afterwards;
// cords only change which node a link reads.
#pragma once

#include "engine/Amplifier.h"
#include "engine/Envelope.h"
#include "engine/Filter.h"
#include "engine/FourCC.h"
#include "engine/Keyboard.h"
#include "engine/NoiseFamily.h"
#include "engine/Oscillator.h"
#include "engine/Reverb.h"
#include "engine/graph/ParamRamp.h"

namespace moraine {

struct ModuleNode;

// A link is one input of one node; its level is a ramp (the ramp part comes first so
// that the ramp operations serve links and module-embedded ramps alike).
struct Link {
    ParamRamp ramp;
    ModuleNode* source = nullptr;
    FourCC jackCode = 0; // 0 for links no cord can reach
    int selector = 0;
    int auxiliary = 0;
    ModuleNode* normalSource = nullptr;
    int normalSelector = 0;
    int normalAuxiliary = 0;
    Link* nextLink = nullptr;

    float level() const { return ramp.current; }
    void restore() {
        source = normalSource;
        selector = normalSelector;
        auxiliary = normalAuxiliary;
    }
};

struct OutputJack {
    ModuleNode* source = nullptr;
    int selector = 0;
    int auxiliary = 0;
    FourCC code = 0;
    OutputJack* next = nullptr;
};

using SetControlFn = void (*)(void* module, float sum);
using ProcessFn = float (*)(void* module, float sum);
using OutputFn = float (*)(void* module, int selector);

constexpr int kMaxNodeLinks = 20;

struct ModuleNode {
    // What the pull loop reads first, together at the front.
    int index = 0;
    int controlCount = 0;
    int signalCount = 0;
    int typeId = 0;
    void* module = nullptr;
    const char* name = "";
    Link* controlLinks[kMaxNodeLinks] = {};
    Link* signalLinks[kMaxNodeLinks] = {};
};

// Node indices of a voice, in build order. 0..31 are the voice's own nodes, 32..43
// the proxies of the shared modules.
enum NodeId : int {
    kNodeOutput,
    kNodeVco1,
    kNodeVco2,
    kNodeVco2Pw,
    kNodeVco3,
    kNodeAdsr,
    kNodeAr,
    kNodeAdsrTrigger,
    kNodeArTrigger,
    kNodeVcf,
    kNodeVca,
    kNodeVcaExp,
    kNodeRing,
    kNodeRingA,
    kNodeRingB,
    kNodeMixer,
    kNodeInsert1,
    kNodeInsert2,
    kNodeMultiple,
    kNodeSwitchA,
    kNodeSwitchB,
    kNodeSwitchC,
    kNodeEnvFollower,
    kNodeKbdLower,
    kNodeKbdUpper,
    kNodeKbdGate,
    kNodeEnvGate,
    kNodeKbdTrigger,
    kNodeInverter1,
    kNodeInverter2,
    kNodeLag,
    kNodeSampleHold,
    kNodeKbdLfo,
    kNodePlus10,
    kNodeMinus10,
    kNodeZero,
    kNodeAudioIn1,
    kNodeAudioIn2,
    kNodePan,
    kNodeNoise,
    kNodeClock,
    kNodeReverb,
    kNodeLeftInput,
    kNodeRightInput,
    kNodeCount,
    kOwnNodeCount = kNodeKbdLfo
};

// Every link of a voice, in creation order (the circuit's link table).
enum LinkId : int {
    kLinkVcfVco1,
    kLinkVcfVco2,
    kLinkVcfVco3,
    kLinkVcfNoise,
    kLinkVcfRing,
    kLinkShNoise,
    kLinkRingModA,
    kLinkRingModB,
    kLinkRingFromA,
    kLinkRingFromB,
    kLinkVcaVcf,
    kLinkVcaRing,
    kLinkEnvFollowerIn,
    kLinkMixerVcf,
    kLinkMixerVca,
    kLinkInsert1Vcf,
    kLinkInsert2Vca,
    kLinkReverbIn,
    kLinkOutput,
    kLinkLeftInput,
    kLinkRightInput,
    kLinkMultiple1,
    kLinkMultiple2,
    kLinkMultiple3,
    kLinkMultiple4,
    kLinkSwitchAIn,
    kLinkSwitchBIn,
    kLinkSwitchCIn,
    kLinkInv1Minus10,
    kLinkInv1Kbd,
    kLinkInv1Aux1,
    kLinkInv1Aux2,
    kLinkInv2Plus10,
    kLinkInv2Aux,
    kLinkLagIn,
    kLinkVcfVco2Cv,
    kLinkVcfKbd,
    kLinkVco1Kbd,
    kLinkVco2Kbd,
    kLinkVco3Kbd,
    kLinkVcfAdsr,
    kLinkVco1Adsr,
    kLinkVco2Adsr,
    kLinkVco3Adsr,
    kLinkVco3Noise,
    kLinkVco1Vco2,
    kLinkVco3Vco2,
    kLinkVco2Vco1,
    kLinkVco1Sh,
    kLinkVco2Sh,
    kLinkVco2PwNoise,
    kLinkVco2FromPw,
    kLinkVcaAr,
    kLinkVcaExpAdsr,
    kLinkVcaFromExp,
    kLinkShClock,
    kLinkSwitchCClock,
    kLinkSwitchCFromA,
    kLinkSwitchCFromB,
    kLinkSwitchAFromC,
    kLinkSwitchBFromC,
    kLinkArGate,
    kLinkAdsrGate,
    kLinkEnvGateKbd,
    kLinkKbdGateExt,
    kLinkEnvGateLfo,
    kLinkEnvGateClock,
    kLinkKbdLowerLfo,
    kLinkKbdUpperLfo,
    kLinkCount
};

// The oscillators' keyboard inputs: a cord into one opens the oscillator to whatever it
// carries, and without one an oscillator in its low range keeps the keyboard away.
struct KeyboardInputJack {
    FourCC code;
    LinkId link;
    int oscillator; // 0..2
};
inline constexpr KeyboardInputJack kKeyboardInputJacks[3] = {
    {fourcc("plg5"), kLinkVco1Kbd, 0},
    {fourcc("plg8"), kLinkVco2Kbd, 1},
    {fourcc("pl13"), kLinkVco3Kbd, 2},
};

constexpr int kOutputJackCount = 42;

// The twelve modules every voice shares, with their nodes. Their ramps run in the
// first voice's ramp list.
struct SharedModules {
    ModuleNode* noise = nullptr;
    ModuleNode* clock = nullptr;
    ModuleNode* audioIn1 = nullptr;
    ModuleNode* audioIn2 = nullptr;
    ModuleNode* pan = nullptr;
    ModuleNode* keyboardLfo = nullptr;
    ModuleNode* reverb = nullptr;
    ModuleNode* plus10 = nullptr;
    ModuleNode* minus10 = nullptr;
    ModuleNode* zero = nullptr;
    ModuleNode* leftInput = nullptr;
    ModuleNode* rightInput = nullptr;

    // The objects behind those nodes.
    struct Store {
        NoiseGenerator noiseGen;
        InternalClock internalClock;
        AudioInput audio1, audio2;
        PanControl panControl;
        KeyboardLfo lfo;
        ReverbModule reverbModule;
        ConstantCell plusCell{10.0f}, minusCell{-10.0f}, zeroCell{0.0f};
        float leftCell = 0.0f, rightCell = 0.0f; // direct inputs, summed per sample
        ModuleNode nodes[12];
    };
    Store* store = nullptr;

    SharedModules() = default;
    SharedModules(const SharedModules&) = delete;
    SharedModules& operator=(const SharedModules&) = delete;
    ~SharedModules();
    bool empty() const { return store == nullptr; }
};

// The modules a voice owns.
struct VoiceModules {
    VcoModule vco1, vco2, vco3;
    VcfModule vcf;
    EnvelopeGen adsr{6, 0.01f, 0.5f, 7.0f, 0.2f};
    EnvelopeGen ar{8, 0.01f, 0.5f, 10.0f, 0.2f};
    VcaModule vca;
    RingModulator ring;
    ElectronicSwitch eswitch;
    Inverter inverter1, inverter2;
    LagProcessor lag;
    SampleAndHold sampleHold;
    EnvelopeFollower follower;
    KeyboardCv kbdLower, kbdUpper;
    KeyboardGate kbdGate;
    KeyboardTrigger kbdTrigger;
    EnvelopeGate envGate;
    float outputSum = 0.0f; // placeholders for the summing nodes' objects
};

// Evaluation state per node. Everything the pull loop reads of one node sits in one
// cache line: with nine voices the graphs do not fit the first-level cache, and parallel
// arrays cost a line per field.
struct alignas(64) NodeSlot {
    OutputFn output = nullptr;
    ProcessFn process = nullptr;
    SetControlFn setControl = nullptr;
    void* module = nullptr;
    unsigned evaluatedStamp = 0; // evaluated in the sample whose stamp this is
    int visiting = 0;
    int generator = 0;
    float cached = 0.0f;
    float lastControl = 0.0f;
    int controlCount = 0; // the node's control links, copied here to spare a load
    ModuleNode* node = nullptr;
};
static_assert(sizeof(NodeSlot) == 64, "one node's evaluation state fills one cache line");

struct NodeTable {
    NodeSlot slot[kNodeCount];
    // Advanced once per sample; a node is evaluated in this sample when its stamp matches.
    unsigned stamp = 1;

    bool evaluated(int s) const { return slot[s].evaluatedStamp == stamp; }
    void newSample() {
        if (++stamp == 0) { // wrapped: no slot may look evaluated by accident
            for (NodeSlot& n : slot) n.evaluatedStamp = 0;
            stamp = 1;
        }
    }
};

struct Voice {
    float rampRate = 44100.0f / 4000.0f;
    int sampleRate = 44100;
    int vcfInsertActive = 0;
    int vcaInsertActive = 0;

    ModuleNode nodes[kNodeCount];
    Link links[kLinkCount];
    OutputJack outputJacks[kOutputJackCount];
    VoiceModules mods;
    SharedModules* shared = nullptr;

    NodeTable table;
    int nodeCount = 0;
    int ownNodeCount = 0;

    ParamRamp* rampList = nullptr;
    Link* linkList = nullptr;
    OutputJack* jackList = nullptr;

    Link& link(LinkId id) { return links[id]; }
    ModuleNode& node(NodeId id) { return nodes[id]; }
};

// Builds the circuit into `voice` at `sampleRate`; the first build also creates the
// shared modules in `shared`.
void buildVoice(Voice& voice, int sampleRate, SharedModules& shared);

// Tells every rate-dependent module of the voice (and, for the voice owning them,
// the shared modules) the new rate.
void setVoiceSampleRate(Voice& voice, int sampleRate, bool ownsShared);

// Ramps. The increment makes the ramp arrive in sampleRate / rampRate samples.
void setRampTarget(Voice& voice, ParamRamp& ramp, float target);
void setRampTargetAndIncrement(Voice& voice, ParamRamp& ramp, float target, float increment);
void advanceRamps(Voice& voice);

// Pull evaluation of one link: level x source value.
float evaluateLink(Voice& voice, const Link& link);

// The modules that step by themselves, once per sample before the tick.
void stepVoiceModules(Voice& voice);
// One sample of the voice: ramps, output, reverb send and direct inputs.
float voiceTick(Voice& voice);

// Jumps every moving ramp of the voice to its target (used when a new instance starts,
// so that the first notes do not glide from the circuit's build levels).
void settleRamps(Voice& voice);

// Switches the voice's internal-clock and keyboard-LFO proxies between their
// free-running outputs and the outputs that follow the host's musical position.
void setClockSynced(Voice& voice, bool synced);
void setLfoSynced(Voice& voice, bool synced);

// Applies or removes a cord between jacks a and b (b = 0 removes a's cord).
// Returns true when a cord was applied.
bool reconnect(Voice& voice, FourCC a, FourCC b);

} // namespace moraine
