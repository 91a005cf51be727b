// The dialogs' names for their controls (DialogRow::role).
#pragma once

namespace moraine::dialogs {

enum : int {
    // patch manager
    kRoleImport = 10, kRoleExport, kRoleCut, kRoleCopy, kRolePaste, kRoleUp, kRoleDown,
    kRoleRename, kRoleDelete, kRoleSelect, kRoleGroupList, kRoleCategoryList, kRolePatchList,
    // save as
    kRoleGroupMenu = 30, kRoleNewGroup, kRoleCategoryMenu, kRoleNewCategory, kRoleName,
    kRoleAuthor, kRoleDate, kRoleMidiNumber, kRoleDisplayNotes, kRoleNotes,
    // rename, new group, save midi map, file chooser
    kRolePrompt = 40, kRoleNewName, kRoleGroupName, kRoleCategoryName,
    // midi map: the per-source roles add the source's slot (0 controller, 1 velocity,
    // 2 mod wheel, 3 aftertouch)
    kRoleTitle = 50, kRoleControllerNumber, kRoleChannel, kRoleLearn,
    kRoleSourceCheck = 60, kRoleSourceCurve = 64, kRoleSourceInvert = 68, kRoleSourceRange = 72,
    // midi beat
    kRoleClockSync = 80, kRoleClockPulses, kRoleLfoSync, kRoleLfoPulses,
    // load midi map, tunings
    kRoleChoice = 90,
    // file chooser
    kRoleFolder = 95, kRoleFileList, kRoleParent,
};

} // namespace moraine::dialogs
