#include "app/menu_model.h"

#include <algorithm>

#include "app/commands.h"
#include "editing/edit_commands.h"

namespace tandrel::app {

const std::vector<const char*>& MenuTitles()
{
    static const std::vector<const char*> titles = {"&File", "&Edit", "Effec&ts", "&Markers",
                                                     "&Settings", "&Help"};
    return titles;
}

const std::vector<MenuEntry>& MenuEntries()
{
    static const std::vector<MenuEntry> entries = {
        {kFileMenu, kCmdNew, "&New"},
        {kFileMenu, kCmdNewFromSelection, "&New File from Selection\tCtrl+N"},
        {kFileMenu, kCmdOpenFromLibrary, "&Open from Library...\tCtrl+O", true},
        {kFileMenu, kCmdDeleteFromLibrary, "&Delete from Library..."},
        {kFileMenu, kCmdRenameActive, "&Rename Active File...\tCtrl+R", true},
        {kFileMenu, kCmdDeleteActive, "&Delete Active File\tCtrl+D"},
        {kFileMenu, kCmdRestoreDeleted, "&Restore Deleted File"},
        {kFileMenu, kCmdImport, "&Import...\tCtrl+I", true},
        {kFileMenu, kCmdExport, "&Export...\tCtrl+E"},
        {kFileMenu, kCmdPublish, "&Publish...", true},
        {kFileMenu, kCmdSaveConfiguration, "&Save Configuration...", true},
        {kFileMenu, kCmdLoadConfiguration, "&Load Configuration..."},
        {kFileMenu, kCmdClearConfiguration, "&Clear Configuration"},
        {kFileMenu, kCmdExit, "E&xit", true},

        {kEditMenu, kCmdUndo, "&Undo\tCtrl+Z"},
        {kEditMenu, kCmdRedo, "&Redo\tCtrl+Y"},
        {kEditMenu, kCmdCut, "Cu&t\tCtrl+X", true},
        {kEditMenu, kCmdCopy, "&Copy\tCtrl+C"},
        {kEditMenu, kCmdPaste, "&Paste\tCtrl+V"},
        {kEditMenu, kCmdDelete, "&Delete"},
        {kEditMenu, kCmdSelectAll, "Select &All\tCtrl+A", true},
        {kEditMenu, kCmdDeselect, "Deselect\tCtrl+K"},
        {kEditMenu, kCmdInsertRecord, "&Insert Record", true},
        {kEditMenu, kCmdMaster, "&Master\tTAB", true, true},
        {kEditMenu, kCmdZoom, "&Zoom\tQ", false, true},

        {kEffectsMenu, kCmdChangePitch, "Change Pitch..."},
        {kEffectsMenu, kCmdChangeTempo, "Change Tempo..."},
        {kEffectsMenu, kCmdChangeRate, "Change Rate..."},
        {kEffectsMenu, kCmdEcho, "Echo", true},
        {kEffectsMenu, kCmdReverb, "Reverb"},

        {kMarkersMenu, kCmdInsertMarker, "&Insert Marker..."},
        {kMarkersMenu, kCmdViewMarkers, "&View Markers..."},

        {kSettingsMenu, kCmdAudioDevices, "&Audio Devices..."},
        {kSettingsMenu, kCmdMixerConfiguration, "&Mixer Configuration..."},
        {kSettingsMenu, kCmdMonoMixRecording, "Mono Mix Recording", false, true},
        {kSettingsMenu, kCmdGainControl, "Automatic &Gain Control...", true},
        {kSettingsMenu, kCmdFileLocations, "&File Locations..."},
        {kSettingsMenu, kCmdScrub, "&Scrub..."},

        {kHelpMenu, kCmdKeyboardCommands, "&Keyboard Commands..."},
        {kHelpMenu, kCmdUserGuide, "&User Guide..."},
        {kHelpMenu, kCmdCheckForUpdates, "Check for Updates...", true},
        {kHelpMenu, kCmdCredits, "Credits...", true},
        {kHelpMenu, kCmdAbout, "&About Tandrel..."},
    };
    return entries;
}

const std::vector<Accelerator>& Accelerators()
{
    static const std::vector<Accelerator> accelerators = {
        {",", kCmdFadeIn},          {"<", kCmdFadeIn},
        {".", kCmdFadeOut},         {">", kCmdFadeOut},
        {"Ctrl+A", kCmdSelectAll},  {"Ctrl+B", kCmdBleep},
        {"Ctrl+C", kCmdCopy},       {"Ctrl+D", kCmdDeleteActive},
        {"Ctrl+E", kCmdExport},     {"Ctrl+I", kCmdImport},
        {"Ctrl+K", kCmdDeselect},   {"Ctrl+M", kCmdCartDeckMode},
        {"Ctrl+N", kCmdNewFromSelection}, {"Ctrl+O", kCmdOpenFromLibrary},
        {"Ctrl+R", kCmdRenameActive},     {"Ctrl+V", kCmdPaste},
        {"Ctrl+X", kCmdCut},        {"Ctrl+Y", kCmdRedo},
        {"Ctrl+Z", kCmdUndo},
    };
    return accelerators;
}

void FillEditFacts(const Editor& editor, MenuFacts& facts)
{
    facts.editOpen = editor.HasEdit();
    if (!facts.editOpen) return;
    const EditView& view = *editor.view;
    facts.selectionWithLength = view.HasSelection();
    facts.canUndo = CanUndo(editor);
    facts.canRedo = CanRedo(editor);
    facts.canCut = CanCut(editor);
    facts.canCopy = CanCopy(editor);
    facts.canPaste = CanPaste(editor);
    facts.canSelectAll = CanSelect(editor) &&
                         !(view.leftMark == 0 && view.rightMark == view.length) &&
                         !(view.rightMark == 0 && view.leftMark == view.length);
    facts.canDeselect = view.leftMark != kNoPosition || view.rightMark != kNoPosition;
    facts.master = view.master;
}

bool NotYetAvailable(int command)
{
    switch (command) {
    case kCmdImportFromSam:
    case kCmdImport:
    case kCmdExport:
    case kCmdPublish:
    case kCmdSaveConfiguration:
    case kCmdLoadConfiguration:
    case kCmdClearConfiguration:
    case kCmdMixerConfiguration:
    case kCmdCheckForUpdates:
    case kCmdChangePitch:
    case kCmdChangeTempo:
    case kCmdChangeRate:
    case kCmdEcho:
    case kCmdReverb:
    case kCmdBleep:
    case kCmdFadeIn:
    case kCmdFadeOut:
    case kCmdCartDeckMode:
    case kCmdEzExportSetup:
    case kCmdEzExport:
        return true;
    default:
        return kProcessRange.Contains(command) || kAdvancedEffectRange.Contains(command) ||
               kPlayerRange.Contains(command);
    }
}

ItemState MenuItemState(int command, const MenuFacts& f)
{
    ItemState state;
    const bool edit = f.editOpen;
    const bool markersOn = edit && !f.master;
    switch (command) {
    // File
    case kCmdExit: state.enabled = true; break;
    case kCmdNew:
    case kCmdRenameActive: state.enabled = !f.playerFileEdited; break;
    case kCmdOpenFromLibrary:
    case kCmdDeleteFromLibrary: state.enabled = !f.playerFileEdited && f.libraryHasEdits; break;
    case kCmdDeleteActive: state.enabled = !f.playerFileEdited && edit; break;
    case kCmdNewFromSelection:
        state.enabled = !f.playerFileEdited && edit && f.selectionWithLength;
        break;
    case kCmdRestoreDeleted: state.enabled = !f.playerFileEdited && f.canRestoreDeleted; break;
    case kCmdExport: state.enabled = !f.playerFileEdited && f.exportAvailable && edit; break;
    case kCmdLoadConfiguration: state.enabled = !f.playerFileEdited && f.configurationSaved; break;
    case kCmdImportFromSam:
    case kCmdImport:
    case kCmdPublish:
    case kCmdSaveConfiguration:
    case kCmdClearConfiguration: state.enabled = !f.playerFileEdited; break;
    // Edit
    case kCmdUndo: state.enabled = edit && f.canUndo; break;
    case kCmdRedo: state.enabled = edit && f.canRedo; break;
    case kCmdCut:
    case kCmdDelete: state.enabled = edit && f.canCut; break;
    case kCmdCopy: state.enabled = edit && f.canCopy; break;
    case kCmdPaste: state.enabled = edit && f.canPaste; break;
    case kCmdSelectAll: state.enabled = edit && f.canSelectAll; break;
    case kCmdDeselect: state.enabled = edit && f.canDeselect; break;
    case kCmdInsertRecord: state.enabled = edit && !f.master && f.recorderAvailable; break;
    case kCmdMaster:
        state.enabled = edit;
        state.checked = edit && f.master;
        break;
    case kCmdZoom:
        state.enabled = edit;
        state.checked = edit && f.zoomed;
        break;
    // Markers
    case kCmdInsertMarker:
    case kCmdViewMarkers: state.enabled = markersOn; break;
    case kCmdNoEditMarker:
    case kCmdNoDeleteMarker:
    case kCmdNoGoToMarker: state.enabled = false; break;
    // Settings
    case kCmdGainControl:
    case kCmdAudioDevices:
    case kCmdFileLocations: state.enabled = !f.playerFileEdited; break;
    case kCmdMonoMixRecording:
        state.enabled = f.stereoFormat;
        state.checked = f.monoMixRecording;
        break;
    // Help and the rest
    default:
        if (kEditMarkerRange.Contains(command) || kGoToMarkerRange.Contains(command) ||
            kDeleteMarkerRange.Contains(command))
            state.enabled = markersOn;
        else
            state.enabled = true;
        break;
    }
    if (NotYetAvailable(command)) state.enabled = false;
    return state;
}

bool CommandRefused(int command, bool playerFileEdited, bool recordingPaused)
{
    switch (command) {
    case kCmdOpenFromLibrary:
    case kCmdDeleteFromLibrary:
    case kCmdRenameActive:
    case kCmdImport:
        return playerFileEdited || recordingPaused;
    case kCmdNew:
    case kCmdDeleteActive:
    case kCmdPublish:
    case kCmdSaveConfiguration:
    case kCmdLoadConfiguration:
    case kCmdClearConfiguration:
    case kCmdRebuildDatabase:
    case kCmdEzExport:
        return playerFileEdited;
    default:
        return false;
    }
}

std::string MarkerMenuText(const std::string& time, const std::string& name)
{
    std::string shown = name.size() >= 40 ? name.substr(0, 36) : name;
    // An ampersand in a name is shown, not taken as the item's mnemonic.
    std::string escaped;
    for (char c : shown) {
        if (c == '&') escaped += '&';
        escaped += c;
    }
    return time + "  " + escaped;
}

} // namespace tandrel::app
