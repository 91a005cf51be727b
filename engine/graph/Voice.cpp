#include "engine/graph/Voice.h"

#include "engine/graph/CircuitTables.h"
#include "engine/graph/JackTable.h"

#include <cmath>

namespace moraine {

namespace {

struct Binding {
    void* module = nullptr;
    SetControlFn setControl = nullptr;
    ProcessFn process = nullptr;
    OutputFn output = nullptr;
    bool generator = false;
};

template <class M> M& as(void* m) {
    return *static_cast<M*>(m);
}

// Callbacks of each node type. A captureless lambda converts to the plain function
// pointer that the node table stores.
template <class M> Binding generatorWithControl(M* m) {
    return {m, [](void* p, float v) { as<M>(p).setControl(v); }, nullptr,
            [](void* p, int s) { return as<M>(p).output(s); }, true};
}
template <class M> Binding generatorOnly(M* m) {
    return {m, nullptr, nullptr, [](void* p, int s) { return as<M>(p).output(s); }, true};
}
template <class M> Binding processorWithControl(M* m) {
    return {m, [](void* p, float v) { as<M>(p).setControl(v); },
            [](void* p, float x) { return as<M>(p).process(x); }, nullptr, false};
}
template <class M> Binding processorOnly(M* m) {
    return {m, nullptr, [](void* p, float x) { return as<M>(p).process(x); }, nullptr, false};
}
Binding summing(void* m) {
    return {m, nullptr, nullptr, nullptr, false};
}

Binding bindOwnNode(Voice& v, NodeId id) {
    VoiceModules& m = v.mods;
    switch (id) {
    case kNodeOutput:
        return summing(&m.outputSum);
    case kNodeVco1:
        return generatorWithControl(&m.vco1);
    case kNodeVco2:
        return generatorWithControl(&m.vco2);
    case kNodeVco3:
        return generatorWithControl(&m.vco3);
    case kNodeVco2Pw:
        return {&m.vco2, [](void* p, float x) { as<VcoModule>(p).setPwmControl(x); }, nullptr,
                [](void*, int) { return 0.0f; }, true};
    case kNodeAdsr:
        return generatorWithControl(&m.adsr);
    case kNodeAr:
        return generatorWithControl(&m.ar);
    case kNodeAdsrTrigger:
        return {&m.adsr, nullptr, nullptr, nullptr, true};
    case kNodeArTrigger:
        return {&m.ar, nullptr, nullptr, nullptr, true};
    case kNodeVcf:
        return processorWithControl(&m.vcf);
    case kNodeVca:
        return {&m.vca, [](void* p, float x) { as<VcaModule>(p).setLinearControl(x); },
                [](void* p, float x) { return as<VcaModule>(p).process(x); }, nullptr, false};
    case kNodeVcaExp:
        return {&m.vca, [](void* p, float x) { as<VcaModule>(p).setExponentialControl(x); },
                [](void* p, float x) { return as<VcaModule>(p).process(x); }, nullptr, false};
    case kNodeRing:
        return processorOnly(&m.ring);
    case kNodeRingA:
        return {&m.ring, nullptr, [](void* p, float x) { return as<RingModulator>(p).processA(x); },
                nullptr, false};
    case kNodeRingB:
        return {&m.ring, nullptr, [](void* p, float x) { return as<RingModulator>(p).processB(x); },
                nullptr, false};
    case kNodeMixer:
    case kNodeInsert1:
    case kNodeInsert2:
    case kNodeMultiple:
        return summing(nullptr);
    case kNodeSwitchA:
        return {&m.eswitch, nullptr,
                [](void* p, float x) { return as<ElectronicSwitch>(p).processA(x); }, nullptr,
                false};
    case kNodeSwitchB:
        return {&m.eswitch, nullptr,
                [](void* p, float x) { return as<ElectronicSwitch>(p).processB(x); }, nullptr,
                false};
    case kNodeSwitchC:
        return {&m.eswitch, [](void* p, float x) { as<ElectronicSwitch>(p).setControlC(x); },
                [](void* p, float x) { return as<ElectronicSwitch>(p).processC(x); }, nullptr,
                false};
    case kNodeEnvFollower:
        return processorOnly(&m.follower);
    case kNodeKbdLower:
        return generatorWithControl(&m.kbdLower);
    case kNodeKbdUpper:
        return generatorWithControl(&m.kbdUpper);
    case kNodeKbdGate:
        return generatorWithControl(&m.kbdGate);
    case kNodeEnvGate:
        return generatorWithControl(&m.envGate);
    case kNodeKbdTrigger:
        return generatorOnly(&m.kbdTrigger);
    case kNodeInverter1:
        return processorOnly(&m.inverter1);
    case kNodeInverter2:
        return processorOnly(&m.inverter2);
    case kNodeLag:
        return processorOnly(&m.lag);
    case kNodeSampleHold:
        return processorWithControl(&m.sampleHold);
    default:
        return {};
    }
}

Binding bindSharedNode(SharedModules::Store& s, NodeId id) {
    switch (id) {
    case kNodeKbdLfo:
        return generatorOnly(&s.lfo);
    case kNodePlus10:
        return generatorOnly(&s.plusCell);
    case kNodeMinus10:
        return generatorOnly(&s.minusCell);
    case kNodeZero:
        return generatorOnly(&s.zeroCell);
    case kNodeAudioIn1:
        return generatorOnly(&s.audio1);
    case kNodeAudioIn2:
        return generatorOnly(&s.audio2);
    case kNodePan:
        return summing(&s.panControl);
    case kNodeNoise:
        return generatorOnly(&s.noiseGen);
    case kNodeClock:
        return generatorOnly(&s.internalClock);
    case kNodeReverb:
        return generatorOnly(&s.reverbModule);
    case kNodeLeftInput:
        return summing(&s.leftCell);
    case kNodeRightInput:
        return summing(&s.rightCell);
    default:
        return {};
    }
}

ModuleNode*& sharedSlot(SharedModules& shared, NodeId id) {
    switch (id) {
    case kNodeNoise:
        return shared.noise;
    case kNodeClock:
        return shared.clock;
    case kNodeAudioIn1:
        return shared.audioIn1;
    case kNodeAudioIn2:
        return shared.audioIn2;
    case kNodePan:
        return shared.pan;
    case kNodeKbdLfo:
        return shared.keyboardLfo;
    case kNodeReverb:
        return shared.reverb;
    case kNodePlus10:
        return shared.plus10;
    case kNodeMinus10:
        return shared.minus10;
    case kNodeZero:
        return shared.zero;
    case kNodeLeftInput:
        return shared.leftInput;
    default:
        return shared.rightInput;
    }
}

void createSharedModules(SharedModules& shared, int sampleRate) {
    shared.store = new SharedModules::Store();
    SharedModules::Store& s = *shared.store;
    s.noiseGen.setSampleRate(sampleRate);
    s.internalClock.setSampleRate(sampleRate);
    s.internalClock.setPeriod(0.5f);
    s.lfo.setSampleRate(sampleRate);
    s.reverbModule.setSampleRate(sampleRate);
    for (int i = 0; i < 12; ++i) {
        NodeId id = kSharedBuildOrder[i];
        ModuleNode& n = s.nodes[i];
        n.index = i;
        n.typeId = kNodeRows[id].typeId;
        n.name = kNodeRows[id].name;
        n.module = bindSharedNode(s, id).module;
        sharedSlot(shared, id) = &n;
    }
}

void setNodeEntry(Voice& v, NodeId id, const Binding& b) {
    NodeTable& t = v.table;
    t.slot[id].evaluatedStamp = 0;
    t.slot[id].visiting = 0;
    t.slot[id].generator = b.generator;
    t.slot[id].cached = t.slot[id].lastControl = 0.0f;
    t.slot[id].node = &v.nodes[id];
    t.slot[id].module = b.module;
    t.slot[id].setControl = b.setControl;
    t.slot[id].process = b.process;
    t.slot[id].output = b.output;
}

bool rampFinished(const ParamRamp& r) {
    float inc = r.increment;
    return std::fabs(inc) < kOffThreshold || (inc > 0 && r.current > r.target) ||
           (inc < 0 && r.current < r.target);
}

} // namespace

SharedModules::~SharedModules() {
    delete store;
}

void buildVoice(Voice& v, int sampleRate, SharedModules& shared) {
    v.sampleRate = sampleRate;
    v.rampRate = float(sampleRate) / 4000.0f;
    v.shared = &shared;
    bool firstBuild = shared.empty();
    if (firstBuild) createSharedModules(shared, sampleRate);

    v.mods.vco1.voice = v.mods.vco2.voice = v.mods.vco3.voice = &v;
    v.mods.vcf.voice = &v;
    v.mods.kbdLower.voice = v.mods.kbdUpper.voice = &v;
    v.mods.vco1.kind = 1;
    v.mods.vco2.kind = 2;
    v.mods.vco3.kind = 3;
    setVoiceSampleRate(v, sampleRate, false);

    // Own nodes, then the proxies of the shared modules.
    for (int i = 0; i < kNodeCount; ++i) {
        NodeId id = NodeId(i);
        ModuleNode& n = v.nodes[i];
        n.index = i;
        n.typeId = kNodeRows[i].typeId;
        n.name = kNodeRows[i].name;
        n.controlCount = n.signalCount = 0;
        Binding b = i < kOwnNodeCount ? bindOwnNode(v, id) : bindSharedNode(*shared.store, id);
        n.module = b.module;
        setNodeEntry(v, id, b);
    }
    v.ownNodeCount = kOwnNodeCount;
    v.nodeCount = kNodeCount;

    v.rampList = nullptr;
    v.linkList = nullptr;
    for (const LinkRow& row : kLinkRows) {
        Link& l = v.links[row.id];
        float level = std::isfinite(row.level) ? row.level : 0.0f;
        l.ramp.current = l.ramp.target = level;
        l.ramp.off = std::fabs(level) < kOffThreshold;
        l.ramp.increment = 0.0f;
        l.ramp.settled = 0;
        l.ramp.nextRamp = v.rampList;
        v.rampList = &l.ramp;
        l.jackCode = row.code;
        l.normalSource = &v.nodes[row.source];
        l.normalSelector = row.selector;
        l.normalAuxiliary = 0;
        l.restore();
        ModuleNode& into = v.nodes[row.into];
        if (row.control)
            into.controlLinks[into.controlCount++] = &l;
        else
            into.signalLinks[into.signalCount++] = &l;
        l.nextLink = v.linkList;
        v.linkList = &l;
    }

    for (int i = 0; i < kNodeCount; ++i) v.table.slot[i].controlCount = v.nodes[i].controlCount;

    v.jackList = nullptr;
    for (int i = 0; i < kOutputJackCount; ++i) {
        OutputJack& j = v.outputJacks[i];
        j.source = &v.nodes[kOutputJackRows[i].node];
        j.selector = kOutputJackRows[i].selector;
        j.auxiliary = 0;
        j.code = kOutputJackRows[i].code;
        j.next = v.jackList;
        v.jackList = &j;
    }
}

void setVoiceSampleRate(Voice& v, int sampleRate, bool ownsShared) {
    v.sampleRate = sampleRate;
    VoiceModules& m = v.mods;
    m.vco1.setSampleRate(sampleRate);
    m.vco2.setSampleRate(sampleRate);
    m.vco3.setSampleRate(sampleRate);
    m.vcf.setSampleRate(sampleRate);
    m.adsr.setSampleRate(sampleRate);
    m.ar.setSampleRate(sampleRate);
    m.ring.setSampleRate(sampleRate);
    m.lag.setSampleRate(sampleRate);
    if (ownsShared && v.shared && v.shared->store) {
        SharedModules::Store& s = *v.shared->store;
        s.noiseGen.setSampleRate(sampleRate);
        s.internalClock.setSampleRate(sampleRate);
        s.lfo.setSampleRate(sampleRate);
        s.reverbModule.setSampleRate(sampleRate);
    }
}

void setRampTargetAndIncrement(Voice& v, ParamRamp& r, float target, float increment) {
    // A target that is not finite settles at 0 on the next advance.
    if (!std::isfinite(target) || !std::isfinite(increment)) {
        target = 0.0f;
        increment = 0.0f;
    }
    r.target = target;
    r.increment = increment;
    if (r.settled) {
        r.settled = 0;
        r.nextRamp = v.rampList;
        v.rampList = &r;
    }
}

void setRampTarget(Voice& v, ParamRamp& r, float target) {
    float increment = (target - r.current) * v.rampRate / float(v.sampleRate);
    setRampTargetAndIncrement(v, r, target, increment);
}

void advanceRamps(Voice& v) {
    ParamRamp** link = &v.rampList;
    while (ParamRamp* r = *link) {
        r->current = normalOrZero(r->current + r->increment);
        r->off = std::fabs(r->current) < kOffThreshold;
        if (rampFinished(*r)) {
            r->current = normalOrZero(r->target);
            r->off = std::fabs(r->current) < kOffThreshold;
            r->settled = 1;
            *link = r->nextRamp;
            r->nextRamp = nullptr;
        } else {
            link = &r->nextRamp;
        }
    }
}

void settleRamps(Voice& v) {
    while (ParamRamp* r = v.rampList) {
        r->current = normalOrZero(r->target);
        r->off = std::fabs(r->current) < kOffThreshold;
        r->settled = 1;
        v.rampList = r->nextRamp;
        r->nextRamp = nullptr;
    }
}

void setClockSynced(Voice& v, bool synced) {
    v.table.slot[kNodeClock].output =
        synced ? OutputFn([](void* p, int s) { return as<InternalClock>(p).syncedOutput(s); })
               : OutputFn([](void* p, int s) { return as<InternalClock>(p).output(s); });
}

void setLfoSynced(Voice& v, bool synced) {
    v.table.slot[kNodeKbdLfo].output =
        synced ? OutputFn([](void* p, int s) { return as<KeyboardLfo>(p).syncedOutput(s); })
               : OutputFn([](void* p, int s) { return as<KeyboardLfo>(p).output(s); });
}

float evaluateLink(Voice& v, const Link& l) {
    NodeTable& t = v.table;
    const ModuleNode* src = l.source;
    // A link's source is always one of its own voice's nodes; the slot is found from the
    // pointer alone, without waiting for the node to load.
    NodeSlot& n = t.slot[src - v.nodes];
    float value = 0.0f;
    if (OutputFn out = n.output) {
        value = out(n.module, l.selector);
        if (n.controlCount == 0) return l.ramp.current * normalOrZero(value);
    }
    if (n.visiting || n.evaluatedStamp == t.stamp) {
        // Feedback or a second reader in this sample: generators are read afresh,
        // everything else gives the value cached for this (or, in a loop, the last) sample.
        if (!n.generator) return n.cached * l.ramp.current;
        return l.ramp.current * normalOrZero(value);
    }
    n.visiting = 1;
    float control = 0.0f;
    for (int i = 0; i < src->controlCount; ++i) {
        const Link* in = src->controlLinks[i];
        if (!in->ramp.off) control += evaluateLink(v, *in);
    }
    float signal = value;
    for (int i = 0; i < src->signalCount; ++i) {
        const Link* in = src->signalLinks[i];
        if (!in->ramp.off) signal += evaluateLink(v, *in);
    }
    n.visiting = 0;
    if (std::fabs(control - n.lastControl) > kOffThreshold) {
        if (SetControlFn set = n.setControl) set(n.module, control);
        n.lastControl = control;
    }
    float result = n.process ? n.process(n.module, signal) : signal;
    n.evaluatedStamp = t.stamp;
    result = normalOrZero(result);
    if (std::fabs(result) > 1000.0f) {
        n.cached = 0.0f;
        return 0.0f;
    }
    n.cached = result;
    return l.ramp.current * result;
}

void stepVoiceModules(Voice& v) {
    v.table.newSample();
    VoiceModules& m = v.mods;
    m.vco1.step();
    m.vco2.step();
    m.vco3.step();
    m.vcf.stepPending();
    m.ar.step();
    m.adsr.step();
    m.kbdTrigger.tick();
}

float voiceTick(Voice& v) {
    advanceRamps(v);
    const Link& out = *v.nodes[kNodeOutput].signalLinks[0];
    float voiceOut = evaluateLink(v, out);

    SharedModules::Store& s = *v.shared->store;
    const Link& send = *v.nodes[kNodeReverb].signalLinks[0];
    s.reverbModule.addSend(send.source == out.source ? voiceOut : evaluateLink(v, send));

    const ModuleNode* zero = &v.nodes[kNodeZero];
    const Link& left = *v.nodes[kNodeLeftInput].signalLinks[0];
    if (left.source != zero) s.leftCell += 0.1f * evaluateLink(v, left);
    const Link& right = *v.nodes[kNodeRightInput].signalLinks[0];
    if (right.source != zero) s.rightCell += 0.1f * evaluateLink(v, right);
    return voiceOut;
}

// ---- cords ----

namespace {

bool namesLinks(const Voice& v, FourCC code) {
    if (code == 0) return false;
    for (const Link* l = v.linkList; l; l = l->nextLink)
        if (l->jackCode == code) return true;
    return false;
}

const OutputJack* findOutputJack(const Voice& v, FourCC code) {
    if (code == 0) return nullptr;
    // The list is newest first; the first jack created with a code is the one meant.
    const OutputJack* found = nullptr;
    for (const OutputJack* j = v.jackList; j; j = j->next)
        if (j->code == code) found = j;
    return found;
}

void restoreLinks(Voice& v, FourCC code) {
    if (code == 0) return;
    for (Link* l = v.linkList; l; l = l->nextLink)
        if (l->jackCode == code) l->restore();
}

void plugLinks(Voice& v, FourCC inputCode, const OutputJack& from) {
    for (Link* l = v.linkList; l; l = l->nextLink) {
        if (l->jackCode != inputCode) continue;
        l->source = from.source;
        l->selector = from.selector;
        l->auxiliary = from.auxiliary;
    }
}

void removeInsert(Voice& v, int& active, LinkId mixerLink, LinkId insertLink) {
    active = 0;
    Link& mixer = v.link(mixerLink);
    const Link& insert = v.link(insertLink);
    // Compared by target: a cord pulled before the mute has moved must still bring the
    // mixer path back to the slider's level.
    if (mixer.ramp.target != insert.ramp.target) setRampTarget(v, mixer.ramp, insert.ramp.target);
}

void applyCordEffects(Voice& v, FourCC inputEnd, FourCC outputEnd) {
    const FourCC kSwitchC = fourcc("pl51");
    if (outputEnd == kSwitchC || inputEnd == kSwitchC) {
        bool toC = outputEnd == kSwitchC; // A and B feed C
        setRampTarget(v, v.link(kLinkSwitchCFromA).ramp, toC ? 1.0f : 0.0f);
        setRampTarget(v, v.link(kLinkSwitchCFromB).ramp, toC ? 1.0f : 0.0f);
        setRampTarget(v, v.link(kLinkSwitchAFromC).ramp, toC ? 0.0f : 1.0f);
        setRampTarget(v, v.link(kLinkSwitchBFromC).ramp, toC ? 0.0f : 1.0f);
        v.mods.eswitch.setDirection(toC ? 1 : 2);
    }
    auto either = [&](const char(&code)[5]) {
        return inputEnd == fourcc(code) || outputEnd == fourcc(code);
    };
    if (either("pl69")) {
        v.vcfInsertActive = 1;
        setRampTarget(v, v.link(kLinkMixerVcf).ramp, 0.0f);
    }
    if (either("pl70")) {
        v.vcaInsertActive = 1;
        setRampTarget(v, v.link(kLinkMixerVca).ramp, 0.0f);
    }
    if (either("pl24")) setRampTarget(v, v.link(kLinkKbdGateExt).ramp, 1.0f);
}

bool applyCord(Voice& v, FourCC a, FourCC b) {
    const FourCC kInsertVcf = fourcc("pl69"), kInsertVca = fourcc("pl70");
    const FourCC kGate = fourcc("pl24");
    bool aLinks = namesLinks(v, a), bLinks = namesLinks(v, b);

    if (aLinks && bLinks) {
        if (isBidirectionalJack(a)) {
            restoreLinks(v, a);
            aLinks = false;
        } else if (isBidirectionalJack(b)) {
            restoreLinks(v, b);
            bLinks = false;
        }
    }

    if (a == 0 || b == 0) {
        FourCC other = a == 0 ? b : a;
        if (other == kInsertVcf)
            removeInsert(v, v.vcfInsertActive, kLinkMixerVcf, kLinkInsert1Vcf);
        else if (other == kInsertVca)
            removeInsert(v, v.vcaInsertActive, kLinkMixerVca, kLinkInsert2Vca);
        else if (other == kGate)
            setRampTarget(v, v.link(kLinkKbdGateExt).ramp, 0.0f);
        restoreLinks(v, other);
        return false;
    }

    if (aLinks) {
        if (const OutputJack* out = findOutputJack(v, b)) {
            applyCordEffects(v, a, b);
            plugLinks(v, a, *out);
            return true;
        }
    }
    if (bLinks) {
        if (const OutputJack* out = findOutputJack(v, a)) {
            applyCordEffects(v, b, a);
            plugLinks(v, b, *out);
            return true;
        }
    }
    restoreLinks(v, a);
    restoreLinks(v, b);
    return false;
}

} // namespace

bool reconnect(Voice& v, FourCC a, FourCC b) {
    bool applied = applyCord(v, a, b);
    const VcoModule* vcos[3] = {&v.mods.vco1, &v.mods.vco2, &v.mods.vco3};
    for (const KeyboardInputJack& in : kKeyboardInputJacks) {
        if (a != in.code && b != in.code) continue;
        if (applied)
            setRampTarget(v, v.link(in.link).ramp, 1.0f);
        else if (vcos[in.oscillator]->range == 2)
            setRampTarget(v, v.link(in.link).ramp, 0.0f);
    }
    return applied;
}

} // namespace moraine
