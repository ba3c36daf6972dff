#include "settings/settings_store.h"

#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "settings_test_support.h"

namespace tandrel {
namespace {

constexpr const char* kRecentKey = "Software\\Halvern\\Tandrel\\Recent";

uint32_t ReadNumber(const char* name, bool& found, const char* key = kProductKey)
{
    return ReadSettingNumber(kSettingTwoAttempts, key, name, &found);
}

bool ReadText(const char* name, std::string& out, size_t size = 1 << 16,
              const char* key = kProductKey)
{
    return ReadSettingText(kSettingTwoAttempts, key, name, out, size);
}

const uint32_t kNumbers[] = {0, 1, 0x170001, 0x7fffffff, 0x80000000, 0xffffffff};
const std::string kTexts[] = {
    "",
    "Untitled",
    "  leading and trailing blanks  ",
    "a,b;c=d",
    "quote \" and back\\slash",
    "@Variant(QString)",
    "@ByteArray(x)",
    "dword:0000002a",
    "sz:dword:00000001",
    "#not a comment",
    "[General]",
    "non-ASCII: \xc3\xa9t\xc3\xa9 \xe2\x80\x94 \xe6\x97\xa5\xe6\x9c\xac",
    "line\r\nbreaks\tand tab",
    "/home/me/Documents/Tandrel/Tandrel Library",
};

TEST_F(SettingsTest, NumbersAndTextsComeBackUnchangedHereAndInASecondProcess)
{
    for (size_t i = 0; i < std::size(kNumbers); ++i) {
        const std::string name = "Number" + std::to_string(i);
        ASSERT_TRUE(
            WriteSettingNumber(kSettingTwoAttempts, kProductKey, name.c_str(), kNumbers[i]));
    }
    for (size_t i = 0; i < std::size(kTexts); ++i) {
        const std::string name = "Text" + std::to_string(i);
        ASSERT_TRUE(
            WriteSettingText(kSettingOneAttempt, kProductKey, name.c_str(), kTexts[i].c_str()));
    }
    for (size_t i = 0; i < std::size(kNumbers); ++i) {
        const std::string name = "Number" + std::to_string(i);
        bool found = false;
        EXPECT_EQ(ReadNumber(name.c_str(), found), kNumbers[i]);
        EXPECT_TRUE(found) << name;
        EXPECT_EQ(RunProbe({"read-number", name}).output, std::to_string(kNumbers[i]));
    }
    for (size_t i = 0; i < std::size(kTexts); ++i) {
        const std::string name = "Text" + std::to_string(i);
        std::string text = "stale";
        EXPECT_TRUE(ReadText(name.c_str(), text)) << kTexts[i];
        EXPECT_EQ(text, kTexts[i]);
        EXPECT_EQ(RunProbe({"read-text", name}).output, "text:" + kTexts[i]);
    }
}

TEST_F(SettingsTest, ThisProcessSeesWhatAnotherProcessWroteAndAWriteReplacesTheOtherType)
{
    ASSERT_TRUE(WriteSettingNumber(kSettingTwoAttempts, kProductKey, "winX", 10));
    ASSERT_EQ(RunProbe({"write-number", "winX", "77"}).exitCode, 0);
    ASSERT_EQ(RunProbe({"write-text", "LastOpenFile", "/tmp/Talk.kdw"}).exitCode, 0);
    bool found = false;
    EXPECT_EQ(ReadNumber("winX", found), 77u);
    std::string text;
    EXPECT_TRUE(ReadText("LastOpenFile", text));
    EXPECT_EQ(text, "/tmp/Talk.kdw");

    ASSERT_TRUE(WriteSettingText(kSettingTwoAttempts, kProductKey, "winX", "wide"));
    EXPECT_EQ(ReadNumber("winX", found), 0u);
    EXPECT_FALSE(found);
    EXPECT_TRUE(ReadText("winX", text));
    EXPECT_EQ(text, "wide");
}

TEST_F(SettingsTest, AFileWrittenByHandReadsByItsForm)
{
    WriteSettingsFile("[General]\n"
                      "winX=dword:0000002a\n"
                      "winY=dword:FFFFFFFF\n"
                      "winWidth=dword:12\n"
                      "winHeight=dword:0000000g\n"
                      "Author=plain text\n"
                      "Album=sz:dword:00000001\n"
                      "Cart1=a,b\n"
                      "Cart2=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x5)\n"
                      "\n[Recent]\n"
                      "winX=dword:00000007\n");
    struct Case
    {
        const char* name;
        bool isNumber;
        uint32_t number;
        bool isText;
        std::string text;
    };
    const Case cases[] = {
        {"winX", true, 42, false, {}},
        {"winY", true, 0xffffffff, false, {}},
        {"winWidth", false, 0, false, {}},  // too few digits
        {"winHeight", false, 0, false, {}}, // not hexadecimal
        {"Author", false, 0, true, "plain text"},
        {"Album", false, 0, true, "dword:00000001"},
        {"Cart1", false, 0, false, {}}, // a list
        {"Cart2", false, 0, false, {}}, // another type
        {"Cart3", false, 0, false, {}}, // missing
    };
    for (const Case& c : cases) {
        bool found = !c.isNumber;
        EXPECT_EQ(ReadNumber(c.name, found), c.number) << c.name;
        EXPECT_EQ(found, c.isNumber) << c.name;
        std::string text;
        EXPECT_EQ(ReadText(c.name, text), c.isText) << c.name;
        EXPECT_EQ(text, c.text) << c.name;
    }
    bool found = false;
    EXPECT_EQ(ReadNumber("winX", found, kRecentKey), 7u);
}

TEST_F(SettingsTest, ADamagedLineCostsOnlyItself)
{
    WriteSettingsFile("[General]\n"
                      "winX=dword:00000005\n"
                      "Author=Kim\n"
                      "[Recent\n"
                      "\x01\xff=junk\n");
    // One attempt: a second one would find the file already parsed and take no notice.
    EXPECT_EQ(ReadSettingNumber(kSettingOneAttempt, kProductKey, "winX"), 5u);
    bool found = false;
    EXPECT_TRUE(WriteSettingNumber(kSettingTwoAttempts, kProductKey, "winY", 6));
    EXPECT_EQ(ReadNumber("winY", found), 6u);
    EXPECT_TRUE(found);
    std::string text;
    EXPECT_TRUE(ReadText("Author", text));
    EXPECT_EQ(text, "Kim");
    EXPECT_EQ(ReadNumber("winX", found), 5u);
}

TEST_F(SettingsTest, RefusedKeyPathsAndNamesReadAsMissingAndWriteNothing)
{
    ASSERT_TRUE(WriteSettingNumber(kSettingTwoAttempts, kProductKey, "winX", 5));
    struct Case
    {
        const char* key;
        const char* name;
    };
    const Case cases[] = {
        {nullptr, "winX"},
        {kProductKey, nullptr},
        {kProductKey, ""},
        {kProductKey, "Recent/winX"},
        {kProductKey, "Recent\\winX"},
        {"Software\\Halvern", "winX"},
        {"Software\\Other\\Tandrel", "winX"},
        {"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Comdlg32\\PlacesBar", "Place0"},
        {"Software\\Halvern\\Tandrel\\", "winX"},
        {"Software\\\\Halvern\\Tandrel", "winX"},
        {"\\Software\\Halvern\\Tandrel", "winX"},
    };
    for (const Case& c : cases) {
        const std::string label =
            std::string(c.key ? c.key : "(null)") + " / " + (c.name ? c.name : "(null)");
        bool found = true;
        EXPECT_EQ(ReadSettingNumber(kSettingTwoAttempts, c.key, c.name, &found), 0u) << label;
        EXPECT_FALSE(found) << label;
        EXPECT_FALSE(WriteSettingNumber(kSettingTwoAttempts, c.key, c.name, 9)) << label;
        EXPECT_FALSE(WriteSettingText(kSettingTwoAttempts, c.key, c.name, "x")) << label;
        EXPECT_FALSE(DeleteSettingValue(kSettingTwoAttempts, c.key, c.name)) << label;
    }
    EXPECT_FALSE(WriteSettingText(kSettingTwoAttempts, kProductKey, "Author", nullptr));
    EXPECT_FALSE(WriteSettingText(kSettingTwoAttempts, kProductKey, "Author", "bad \xff byte"));
    std::string text;
    EXPECT_FALSE(ReadText("Author", text));

    // None of the refused writes touched the value that was there.
    bool found = false;
    EXPECT_EQ(ReadNumber("winX", found), 5u);
    // A found flag is optional, and the product key's parts match without regard to case.
    EXPECT_EQ(ReadSettingNumber(kSettingOneAttempt, "software/halvern/TANDREL", "winX"), 5u);
}

TEST_F(SettingsTest, ATextLongerThanTheBufferIsRefusedNotCut)
{
    const std::string path(259, 'p');
    ASSERT_TRUE(WriteSettingText(kSettingTwoAttempts, kProductKey, "LastOpenFile", path.c_str()));
    ASSERT_TRUE(WriteSettingText(kSettingTwoAttempts, kProductKey, "Author", ""));
    struct Case
    {
        const char* name;
        size_t size;
        std::string expected; // "before": refused, the buffer untouched
    };
    const Case cases[] = {
        {"LastOpenFile", 260, path},
        {"LastOpenFile", 259, "before"},
        {"LastOpenFile", 1, "before"},
        {"LastOpenFile", 0, "before"},
        {"Author", 1, ""},
        {"Author", 0, "before"},
    };
    for (const Case& c : cases) {
        std::string text = "before";
        EXPECT_EQ(ReadText(c.name, text, c.size), c.expected != "before")
            << c.name << " " << c.size;
        EXPECT_EQ(text, c.expected) << c.name << " " << c.size;
    }
}

TEST_F(SettingsTest, DeleteRemovesOneValueOfEitherTypeAndKeepsASubKeyOfTheSameName)
{
    ASSERT_TRUE(WriteSettingNumber(kSettingTwoAttempts, kProductKey, "Recent", 1));
    ASSERT_TRUE(WriteSettingText(kSettingTwoAttempts, kProductKey, "Author", "Kim"));
    ASSERT_TRUE(WriteSettingNumber(kSettingTwoAttempts, kRecentKey, "winX", 3));
    ASSERT_TRUE(WriteSettingText(kSettingTwoAttempts, kRecentKey, "Author", "Lee"));

    EXPECT_TRUE(DeleteSettingValue(kSettingTwoAttempts, kProductKey, "Recent"));
    EXPECT_TRUE(DeleteSettingValue(kSettingTwoAttempts, kProductKey, "Author"));
    EXPECT_TRUE(DeleteSettingValue(kSettingTwoAttempts, kProductKey, "NeverWritten"));

    bool found = true;
    ReadNumber("Recent", found);
    EXPECT_FALSE(found);
    std::string text;
    EXPECT_FALSE(ReadText("Author", text));
    EXPECT_EQ(ReadNumber("winX", found, kRecentKey), 3u);
    EXPECT_TRUE(found);
    EXPECT_TRUE(ReadText("Author", text, 64, kRecentKey));
    EXPECT_EQ(text, "Lee");
}

TEST_F(SettingsTest, AWriteReplacesTheFileAndLeavesNothingElseBehind)
{
    ASSERT_TRUE(WriteSettingNumber(kSettingTwoAttempts, kProductKey, "winX", 1));
    struct stat before;
    ASSERT_EQ(stat(SettingsFile().c_str(), &before), 0);
    ASSERT_TRUE(WriteSettingNumber(kSettingTwoAttempts, kProductKey, "winY", 2));
    struct stat after;
    ASSERT_EQ(stat(SettingsFile().c_str(), &after), 0);
    // A new inode: the file was written beside the old one and renamed over it.
    EXPECT_NE(before.st_ino, after.st_ino);
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(Home() + "/config/Halvern"))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"Tandrel.conf"});
}

TEST_F(SettingsTest, AnUnwritableLocationFailsEveryWriteQuietly)
{
    WriteFile(Home() + "/config", "a file where the folder should be");
    EXPECT_FALSE(WriteSettingNumber(kSettingTwoAttempts, kProductKey, "winX", 1));
    EXPECT_FALSE(WriteSettingText(kSettingOneAttempt, kProductKey, "Author", "x"));
    bool found = true;
    EXPECT_EQ(ReadNumber("winX", found), 0u);
    EXPECT_FALSE(found);
}

TEST_F(SettingsTest, TheFileFollowsXdgConfigHomeOrTheHomeFolder)
{
    struct Case
    {
        const char* config; // null: unset
        std::string expected;
    };
    const Case cases[] = {
        {"/srv/cfg", "/srv/cfg/Halvern/Tandrel.conf"},
        {"/srv/cfg/", "/srv/cfg/Halvern/Tandrel.conf"},
        {nullptr, Home() + "/.config/Halvern/Tandrel.conf"},
        {"relative/cfg", Home() + "/.config/Halvern/Tandrel.conf"},
        {"", Home() + "/.config/Halvern/Tandrel.conf"},
    };
    for (const Case& c : cases) {
        if (c.config)
            setenv("XDG_CONFIG_HOME", c.config, 1);
        else
            unsetenv("XDG_CONFIG_HOME");
        EXPECT_EQ(SettingsFilePath(), c.expected) << (c.config ? c.config : "(unset)");
    }
}

TEST_F(SettingsTest, ThreadsWritingAndReadingAtOnceLoseNothing)
{
    constexpr int kThreads = 4, kValues = 40;
    std::vector<std::thread> threads;
    std::vector<int> misreads(kThreads, 0);
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &misreads] {
            for (int i = 0; i < kValues; ++i) {
                const std::string name = "T" + std::to_string(t) + "V" + std::to_string(i);
                const uint32_t value = uint32_t(t * 1000 + i);
                if (i % 2)
                    WriteSettingNumber(kSettingTwoAttempts, kProductKey, name.c_str(), value);
                else
                    WriteSettingText(kSettingTwoAttempts, kProductKey, name.c_str(), name.c_str());
                // Read back something this thread wrote earlier while the others write.
                const std::string earlier =
                    "T" + std::to_string(t) + "V" + std::to_string(i / 2 * 2);
                std::string text;
                if (!ReadSettingText(kSettingTwoAttempts, kProductKey, earlier.c_str(), text, 64) ||
                    text != earlier)
                    ++misreads[size_t(t)];
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(misreads, std::vector<int>(kThreads, 0));
    // Every thread's last number landed.
    for (int t = 0; t < kThreads; ++t) {
        const std::string name = "T" + std::to_string(t) + "V" + std::to_string(kValues - 1);
        bool found = false;
        EXPECT_EQ(ReadNumber(name.c_str(), found), uint32_t(t * 1000 + kValues - 1)) << name;
    }
    EXPECT_EQ(RunProbe({"read-number", "T3V39"}).output, "3039");
}

} // namespace
} // namespace tandrel
