// The menu bar as data: every command once, its accelerators, and when items are enabled.
#include <gtest/gtest.h>

#include <set>

#include "app/commands.h"
#include "app/menu_model.h"

namespace tandrel::app {
namespace {

TEST(MenuModel, EveryCommandStandsOnceAndTheAcceleratorsNameMenuCommands)
{
    std::set<int> seen;
    for (const MenuEntry& entry : MenuEntries()) {
        EXPECT_TRUE(seen.insert(entry.command).second) << entry.command;
        EXPECT_GE(entry.menu, kFileMenu);
        EXPECT_LE(entry.menu, kHelpMenu);
    }
    EXPECT_EQ(MenuTitles().size(), 6u);
    EXPECT_EQ(Accelerators().size(), 19u);
    std::set<std::string> keys;
    for (const Accelerator& accelerator : Accelerators()) {
        EXPECT_TRUE(keys.insert(accelerator.keys).second) << accelerator.keys;
        // Every Ctrl accelerator with a menu item shows its key in the item's text.
        for (const MenuEntry& entry : MenuEntries()) {
            if (entry.command == accelerator.command && std::string(accelerator.keys).starts_with("Ctrl")) {
                EXPECT_NE(std::string(entry.text).find(accelerator.keys), std::string::npos)
                    << entry.text;
            }
        }
    }
}

struct RuleCase
{
    const char* name;
    int command;
    MenuFacts facts;
    bool enabled;
    bool checked;
};

MenuFacts WithEdit()
{
    MenuFacts facts;
    facts.editOpen = true;
    return facts;
}

template <typename Change>
MenuFacts Facts(Change change)
{
    MenuFacts facts = WithEdit();
    change(facts);
    return facts;
}

class MenuRules : public ::testing::TestWithParam<RuleCase>
{
};

TEST_P(MenuRules, ItemStateFollowsTheFacts)
{
    const RuleCase& c = GetParam();
    const ItemState state = MenuItemState(c.command, c.facts);
    EXPECT_EQ(state.enabled, c.enabled);
    EXPECT_EQ(state.checked, c.checked);
}

const MenuFacts kNoEdit{};

INSTANTIATE_TEST_SUITE_P(
    Table, MenuRules,
    ::testing::Values(
        // File: a player's file in the editor greys everything but Exit.
        RuleCase{"ExitAlways", kCmdExit, Facts([](MenuFacts& f) { f.playerFileEdited = true; }), true, false},
        RuleCase{"NewGreyWhilePlayerEdits", kCmdNew, Facts([](MenuFacts& f) { f.playerFileEdited = true; }), false, false},
        RuleCase{"NewWithoutEdit", kCmdNew, kNoEdit, true, false},
        RuleCase{"OpenNeedsLibraryEdits", kCmdOpenFromLibrary, WithEdit(), false, false},
        RuleCase{"OpenWithLibraryEdits", kCmdOpenFromLibrary, Facts([](MenuFacts& f) { f.libraryHasEdits = true; }), true, false},
        RuleCase{"DeleteActiveNeedsEdit", kCmdDeleteActive, kNoEdit, false, false},
        RuleCase{"NewFromSelectionNeedsLength", kCmdNewFromSelection, WithEdit(), false, false},
        RuleCase{"NewFromSelection", kCmdNewFromSelection, Facts([](MenuFacts& f) { f.selectionWithLength = true; }), true, false},
        RuleCase{"RestoreNeedsDeleted", kCmdRestoreDeleted, kNoEdit, false, false},
        RuleCase{"Restore", kCmdRestoreDeleted, Facts([](MenuFacts& f) { f.canRestoreDeleted = true; }), true, false},
        // Parts not built in stay grey whatever the facts.
        RuleCase{"ImportNotYet", kCmdImport, WithEdit(), false, false},
        RuleCase{"ExportNotYet", kCmdExport, Facts([](MenuFacts& f) { f.exportAvailable = true; }), false, false},
        RuleCase{"EchoNotYet", kCmdEcho, WithEdit(), false, false},
        // Edit: nothing without an Edit.
        RuleCase{"SelectAllNoEdit", kCmdSelectAll, Facts([](MenuFacts& f) { f.editOpen = false; f.canSelectAll = true; }), false, false},
        RuleCase{"UndoFollowsList", kCmdUndo, Facts([](MenuFacts& f) { f.canUndo = true; }), true, false},
        RuleCase{"RedoEmpty", kCmdRedo, WithEdit(), false, false},
        RuleCase{"CutAndDeleteTogether", kCmdDelete, Facts([](MenuFacts& f) { f.canCut = true; }), true, false},
        RuleCase{"CopyWithMarks", kCmdCopy, Facts([](MenuFacts& f) { f.canCopy = true; }), true, false},
        RuleCase{"MasterChecked", kCmdMaster, Facts([](MenuFacts& f) { f.master = true; }), true, true},
        RuleCase{"MasterNoEditNotChecked", kCmdMaster, Facts([](MenuFacts& f) { f.editOpen = false; f.master = true; }), false, false},
        RuleCase{"ZoomChecked", kCmdZoom, Facts([](MenuFacts& f) { f.zoomed = true; }), true, true},
        RuleCase{"InsertRecordNotInMaster", kCmdInsertRecord, Facts([](MenuFacts& f) { f.recorderAvailable = true; f.master = true; }), false, false},
        RuleCase{"InsertRecord", kCmdInsertRecord, Facts([](MenuFacts& f) { f.recorderAvailable = true; }), true, false},
        // Markers: an Edit not in Master view, for the items and the built submenus.
        RuleCase{"InsertMarker", kCmdInsertMarker, WithEdit(), true, false},
        RuleCase{"InsertMarkerMaster", kCmdInsertMarker, Facts([](MenuFacts& f) { f.master = true; }), false, false},
        RuleCase{"GoToMarkerItem", kGoToMarkerRange.first + 3, WithEdit(), true, false},
        RuleCase{"DeleteMarkerItemMaster", kDeleteMarkerRange.first, Facts([](MenuFacts& f) { f.master = true; }), false, false},
        RuleCase{"NoMarkersStandIn", kCmdNoEditMarker, WithEdit(), false, false},
        // Settings.
        RuleCase{"MonoMixNeedsStereo", kCmdMonoMixRecording, Facts([](MenuFacts& f) { f.monoMixRecording = true; }), false, true},
        RuleCase{"MonoMixStereo", kCmdMonoMixRecording, Facts([](MenuFacts& f) { f.stereoFormat = true; }), true, false},
        RuleCase{"FileLocationsWhilePlayerEdits", kCmdFileLocations, Facts([](MenuFacts& f) { f.playerFileEdited = true; }), false, false},
        RuleCase{"ScrubAlways", kCmdScrub, kNoEdit, true, false},
        // Help.
        RuleCase{"KeyboardCommands", kCmdKeyboardCommands, kNoEdit, true, false},
        RuleCase{"About", kCmdAbout, Facts([](MenuFacts& f) { f.playerFileEdited = true; }), true, false}),
    [](const ::testing::TestParamInfo<RuleCase>& info) { return std::string(info.param.name); });

TEST(MenuGuards, PausedRecordingRefusesOnlyTheCommandsMarkedSo)
{
    for (int command : {kCmdOpenFromLibrary, kCmdDeleteFromLibrary, kCmdRenameActive, kCmdImport}) {
        EXPECT_TRUE(CommandRefused(command, false, true)) << command;
        EXPECT_TRUE(CommandRefused(command, true, false)) << command;
    }
    for (int command : {kCmdNew, kCmdDeleteActive, kCmdPublish, kCmdRebuildDatabase}) {
        EXPECT_FALSE(CommandRefused(command, false, true)) << command;
        EXPECT_TRUE(CommandRefused(command, true, false)) << command;
    }
    for (int command : {kCmdUndo, kCmdExit, kCmdRestoreDeleted, kCmdExport})
        EXPECT_FALSE(CommandRefused(command, true, true)) << command;
}

TEST(MarkerMenu, LongNamesAreCutAndAmpersandsShown)
{
    const std::string name45(45, 'n');
    EXPECT_EQ(MarkerMenuText("0:00:01.00", name45), "0:00:01.00  " + std::string(36, 'n'));
    const std::string name39(39, 'n');
    EXPECT_EQ(MarkerMenuText("0:00:01.00", name39), "0:00:01.00  " + name39);
    EXPECT_EQ(MarkerMenuText("0:00:01.00", std::string(40, 'x')), "0:00:01.00  " + std::string(36, 'x'));
    EXPECT_EQ(MarkerMenuText("1:02:03.04", "Q&A"), "1:02:03.04  Q&&A");
}

} // namespace
} // namespace tandrel::app
