// The circuit as data: node table, link table and output-jack list of one voice.
#pragma once

#include "engine/FourCC.h"
#include "engine/graph/Voice.h"

namespace moraine {

struct NodeSpec {
    NodeId id;
    const char* name;
    int typeId;
};

struct LinkSpec {
    LinkId id;
    FourCC code; // 0: no cord reaches this link
    NodeId into;
    bool control; // control list (setControl) or signal list (process / sum)
    NodeId source;
    int selector;
    float level;
};

struct OutputJackSpec {
    FourCC code;
    NodeId node;
    int selector;
};

extern const NodeSpec kNodeSpecs[kNodeCount];
extern const LinkSpec kLinkSpecs[kLinkCount];
extern const OutputJackSpec kOutputJackSpecs[kOutputJackCount];

// The order in which the first voice build creates the shared modules.
extern const NodeId kSharedBuildOrder[12];

} // namespace moraine
