#pragma once
#include <cstdint>

namespace tandrel::app {

// The command numbers of the menu bar, the accelerators and the key handler. Items built at
// run time (Effects, marker submenus, players) use the numbered ranges below: the offset
// from a range's base indexes the list the menu was built from.

// File
inline constexpr int kCmdNew = 40093;
inline constexpr int kCmdNewFromSelection = 40074;
inline constexpr int kCmdOpenFromLibrary = 40064;
inline constexpr int kCmdDeleteFromLibrary = 40065;
inline constexpr int kCmdRenameActive = 105;
inline constexpr int kCmdDeleteActive = 106;
inline constexpr int kCmdRestoreDeleted = 40068;
inline constexpr int kCmdImportFromSam = 40140;
inline constexpr int kCmdImport = 109;
inline constexpr int kCmdExport = 110;
inline constexpr int kCmdPublish = 40135;
inline constexpr int kCmdSaveConfiguration = 40119;
inline constexpr int kCmdLoadConfiguration = 40120;
inline constexpr int kCmdClearConfiguration = 40122;
inline constexpr int kCmdExit = 111;
// Edit
inline constexpr int kCmdUndo = 115;
inline constexpr int kCmdRedo = 116;
inline constexpr int kCmdCut = 117;
inline constexpr int kCmdCopy = 118;
inline constexpr int kCmdPaste = 119;
inline constexpr int kCmdDelete = 120;
inline constexpr int kCmdSelectAll = 121;
inline constexpr int kCmdDeselect = 123;
inline constexpr int kCmdInsertRecord = 124;
inline constexpr int kCmdMaster = 40113;
inline constexpr int kCmdZoom = 40106;
// Markers
inline constexpr int kCmdInsertMarker = 40096;
inline constexpr int kCmdViewMarkers = 40104;
inline constexpr int kCmdNoEditMarker = 40097;
inline constexpr int kCmdNoDeleteMarker = 40098;
inline constexpr int kCmdNoGoToMarker = 40121;
// Settings
inline constexpr int kCmdAudioDevices = 40055;
inline constexpr int kCmdMixerConfiguration = 40117;
inline constexpr int kCmdMonoMixRecording = 40129;
inline constexpr int kCmdGainControl = 40103;
inline constexpr int kCmdFileLocations = 40118;
inline constexpr int kCmdScrub = 40045;
inline constexpr int kCmdTranscription = 40133;
// Help
inline constexpr int kCmdKeyboardCommands = 40001;
inline constexpr int kCmdUserGuide = 40073;
inline constexpr int kCmdCheckForUpdates = 40127;
inline constexpr int kCmdCredits = 40086;
inline constexpr int kCmdAbout = 170;
// Reached by accelerators, the key handler or program code only.
inline constexpr int kCmdBleep = 3;
inline constexpr int kCmdFadeIn = 40136;
inline constexpr int kCmdFadeOut = 40137;
inline constexpr int kCmdCartDeckMode = 40123;
inline constexpr int kCmdRecordNew = 40091;
inline constexpr int kCmdCopyToUserFolder = 40070;
inline constexpr int kCmdRebuildDatabase = 40052;
inline constexpr int kCmdEzExportSetup = 40108;
inline constexpr int kCmdEzExport = 40109;
inline constexpr int kCmdToggleGainControl = 40105;
inline constexpr int kCmdRollbackShort = 40131;
inline constexpr int kCmdRollbackLong = 40132;
// Effects (fixed items; the plug-in items are built at run time)
inline constexpr int kCmdChangePitch = 10090;
inline constexpr int kCmdChangeTempo = 10091;
inline constexpr int kCmdChangeRate = 10092;
inline constexpr int kCmdEcho = 10100;
inline constexpr int kCmdReverb = 10101;

/** A numbered range of built-at-run-time items. */
struct CommandRange
{
    int first;
    int last;
    bool Contains(int command) const { return command >= first && command <= last; }
    int Index(int command) const { return command - first; }
};
inline constexpr CommandRange kProcessRange{250, 999};
inline constexpr CommandRange kAdvancedEffectRange{10110, 11999};
inline constexpr CommandRange kEditMarkerRange{12000, 19999};
inline constexpr CommandRange kGoToMarkerRange{20000, 27999};
inline constexpr CommandRange kDeleteMarkerRange{28000, 35999};
inline constexpr CommandRange kPlayerRange{36000, 36010};

/** Command numbers travel as the low 16 bits of a message word. */
inline int CommandNumber(uint32_t word) { return int(word & 0xFFFF); }

} // namespace tandrel::app
