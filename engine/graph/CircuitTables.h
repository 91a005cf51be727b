// The circuit as data: node table, link table and output-jack list of one voice.
#pragma once

#include "engine/FourCC.h"
#include "engine/graph/Voice.h"

namespace moraine {

struct NodeRow {
    NodeId id;
    const char* name;
    int typeId;
};

struct LinkRow {
    LinkId id;
    FourCC code; // 0: no cord reaches this link
    NodeId into;
    bool control; // control list (setControl) or signal list (process / sum)
    NodeId source;
    int selector;
    float level;
};

struct OutputJackRow {
    FourCC code;
    NodeId node;
    int selector;
};

extern const NodeRow kNodeRows[kNodeCount];
extern const LinkRow kLinkRows[kLinkCount];
extern const OutputJackRow kOutputJackRows[kOutputJackCount];

// The order in which the first voice build creates the shared modules.
extern const NodeId kSharedBuildOrder[12];

} // namespace moraine
