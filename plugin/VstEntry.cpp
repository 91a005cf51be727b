// The library's two exported symbols. Everything else is hidden.
#include "dialogs/Dialogs.h"
#include "gui/PanelEditor.h"
#include "plugin/MorainePlugin.h"

extern "C" __attribute__((visibility("default"))) AEffect*
VSTPluginMain(audioMasterCallback audioMaster) {
    if (!audioMaster || audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0)
        return nullptr;
    // Nothing may unwind into the host: a failed construction is a null effect.
    try {
        moraine::dialogs::installPanelDialogs();
        auto* plugin = new moraine::Moraine_VSTEdit(audioMaster);
        plugin->setEditor(moraine::gui::createPanelEditor(plugin, plugin->panelHost()));
        return plugin->getAeffect();
    } catch (...) {
        return nullptr;
    }
}

// Older hosts look for `main`; a C++ function cannot carry that name, so an asm label
// binds it.
extern "C" __attribute__((visibility("default"))) AEffect*
vstLegacyMain(audioMasterCallback audioMaster) asm("main");
extern "C" AEffect* vstLegacyMain(audioMasterCallback audioMaster) {
    return VSTPluginMain(audioMaster);
}
