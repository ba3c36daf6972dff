// The menu bar as data: every command once, its accelerators shown in their items, the
// commands a paused recording refuses, and the marker items' texts. When items are enabled
// is checked through the real window (window_test.cpp), with facts the program gathers.
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
