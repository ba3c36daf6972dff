// The transcription keyboard hook at start-up and shutdown: which libraries are taken, what
// is said about the others, and when the hook is installed and uninstalled.
#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>

#include <fstream>
#include <sstream>

#include "app/commands.h"
#include "app/main_window.h"
#include "app/menu_model.h"
#include "app/startup.h"
#include "app/transcription/keyboard_hook.h"
#include "app_test_support.h"
#include "base/recording_sink.h"
#include "settings/settings_store.h"

namespace tandrel::app {
namespace {

std::string ReadAll(const std::string& path)
{
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// The last two items of the Settings menu: a separator and Transcription.
bool SettingsMenuEndsWithTranscription(MainWindow& window)
{
    const QList<QAction*> items = window.Menu(kSettingsMenu)->actions();
    return items.size() >= 2 && items[items.size() - 2]->isSeparator() &&
           items.back()->text() == "Transcription..." &&
           items.back()->data().toInt() == kCmdTranscription;
}

TEST(KeyboardHook, StartUpTakesAHookWithBothEntryPointsOnly)
{
    struct Case
    {
        const char* folder; // below the stand-in hooks' folder
        bool enabled;       // EnableTranscription
        bool offered;       // Transcription in the Settings menu
        const char* message;
        const char* callsAtStart;
        const char* callsAfterShutdown;
    };
    const Case kCases[] = {
        {"both", false, true, "", "", ""},
        {"both", true, true, "", "install\n", "install\nuninstall\n"},
        {"install-only", true, false, "Unable to load transcription DLL", "", ""},
        {"neither", true, false, "Unable to load transcription DLL", "", ""},
        {"missing", true, false, "", "", ""},
    };
    setenv("TANDREL_AUDIO", "null", 1);
    for (const Case& c : kCases) {
        SCOPED_TRACE(std::string(c.folder) + (c.enabled ? " enabled" : " disabled"));
        test::TempHome home;
        const std::string log = home.Path() + "/hook.log";
        setenv("TANDREL_TEST_HOOK_LOG", log.c_str(), 1);
        ASSERT_TRUE(
            WriteSettingNumber(kSettingTwoAttempts, kProductKey, "EnableTranscription", c.enabled));
        ScopedRecordingSink sink;
        std::unique_ptr<Program> program;
        ASSERT_NO_FATAL_FAILURE(test::StartProgram(
            program, false, std::string(TANDREL_STAND_IN_HOOKS) + "/" + c.folder));

        EXPECT_EQ(program->Hook().Loaded(), c.offered);
        EXPECT_EQ(program->Hook().On(), c.offered && c.enabled);
        EXPECT_EQ(program->Window().Action(kCmdTranscription) != nullptr, c.offered);
        EXPECT_EQ(SettingsMenuEndsWithTranscription(program->Window()), c.offered);
        const std::vector<std::string> texts = sink.Texts();
        EXPECT_EQ(texts.empty() ? "" : texts.front(), c.message);
        EXPECT_LE(texts.size(), 1u);
        EXPECT_EQ(ReadAll(log), c.callsAtStart);
        program->Shutdown();
        EXPECT_EQ(ReadAll(log), c.callsAfterShutdown);
    }
    unsetenv("TANDREL_TEST_HOOK_LOG");
}

} // namespace
} // namespace tandrel::app
