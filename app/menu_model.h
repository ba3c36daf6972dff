#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "editing/editor.h"

namespace tandrel::app {

// The menu bar as data: which items each top-level menu holds, their texts and numbers, and
// when each is enabled or checked. The window builds its Qt menus from this and applies
// the rules each time a menu opens; the tests read the same rules.

/** Positions of the top-level menus. */
enum MenuPosition : int { kFileMenu = 0, kEditMenu, kEffectsMenu, kMarkersMenu, kSettingsMenu, kHelpMenu };

/** One fixed item. `separatorBefore` draws a line above it. The text after a tab names the
    key that runs the command. */
struct MenuEntry
{
    int menu;
    int command;
    const char* text;
    bool separatorBefore = false;
    bool checkable = false;
};

/** The titles of the six top-level menus, in order. */
const std::vector<const char*>& MenuTitles();
/** Every fixed item, menu by menu, in the order shown. */
const std::vector<MenuEntry>& MenuEntries();

/** One accelerator: a key sequence in Qt's portable text form and its command. */
struct Accelerator
{
    const char* keys;
    int command;
};
const std::vector<Accelerator>& Accelerators();

/** What the enabling rules look at when a menu opens. */
struct MenuFacts
{
    bool playerFileEdited = false; // a cart's or deck's file is open in the editor
    bool libraryHasEdits = false;  // the Library picker has Edits to offer
    bool editOpen = false;
    bool selectionWithLength = false; // both marks set and different
    bool canRestoreDeleted = false;
    bool exportAvailable = false;
    bool configurationSaved = false;
    bool canUndo = false;
    bool canRedo = false;
    bool canCut = false;   // both marks set, not in Master view
    bool canCopy = false;  // both marks set
    bool canPaste = false; // the clipboard holds audio, not in Master view
    bool canSelectAll = false;
    bool canDeselect = false;
    bool master = false;
    bool zoomed = false;
    bool stereoFormat = false;
    bool monoMixRecording = false;
    bool recorderAvailable = false; // the recorder is built in
};

/** Facts of the Edit menu, taken from the editing rules for `editor`. */
void FillEditFacts(const Editor& editor, MenuFacts& facts);

struct ItemState
{
    bool enabled = false;
    bool checked = false;
};

/** Whether `command` is enabled and checked under `facts`. Commands whose work belongs to
    parts of the program not built in yet are disabled. Marker range items are enabled
    when the Markers menu's own items are. */
ItemState MenuItemState(int command, const MenuFacts& facts);

/** Commands the menus show but that nothing carries out yet: always disabled. */
bool NotYetAvailable(int command);

/** Guarded commands are refused without a word while a player's file is being edited, and
    those marked so also while a recording is paused. */
bool CommandRefused(int command, bool playerFileEdited, bool recordingPaused);

/** The label of a marker in the marker submenus: its time, two spaces and its name, a name of 40
    characters or more cut to its first 36. */
std::string MarkerMenuText(const std::string& time, const std::string& name);

} // namespace tandrel::app
