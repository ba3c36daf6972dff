#include "settings/path_checks.h"

#include <cstdint>
#include <string>

#include "base/recording_sink.h"
#include "settings_test_support.h"

namespace tandrel {
namespace {

TEST(CheckFolderPath, GivesTheCodeOfTheFirstRuleBroken)
{
    struct Case
    {
        std::string path;
        int code;
    };
    const Case cases[] = {
        {"", 1},
        {"/", 2},
        {"/a", 2},
        {"/ab", 0},
        {"/home/me/Documents/Tandrel", 0},
        {"/home/me/", 0},
        {"/srv/My Shows (2024) & more", 0},
        {"/" + std::string(251, 'x'), 0},
        {"/" + std::string(252, 'x'), 3},
        {"home/me", 6},
        {"~/Tandrel", 6},
        {"C:\\Tandrel", 6},
        {"\\\\server\\share", 6},
        {"/home//me", 4},
        {"//server/share", 4},
        {"/home/me//", 4},
        {"/home/what?", 5},
        {"/home/a\"b", 5},
        {"/home/a*b", 5},
        {"/home/a\\b", 5},
        {"/home/a:b", 5},
        {"/home/a<b", 5},
        {"/home/a>b", 5},
        {"/home/a|b", 5},
        {"/:x", 5},
        {"/home/a?b//c", 5}, // a bad character is found before a double slash
        {std::string("/home/a\0b", 9), 5},
        {"/" + std::string(260, 'x') + "?", 3},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CheckFolderPath(c.path), c.code) << c.path;
}

TEST_F(SettingsTest, CreateFolderPathMakesEveryMissingLevel)
{
    const std::string deep = Home() + "/one/two words/three";
    EXPECT_TRUE(CreateFolderPath(deep + "/"));
    EXPECT_TRUE(IsFolder(deep));
    EXPECT_TRUE(CreateFolderPath(deep)); // already there

    WriteFile(Home() + "/blocker", "a file");
    struct Case
    {
        std::string path;
    };
    const Case failures[] = {
        {""},
        {"relative/path"},
        {Home() + "/blocker"},
        {Home() + "/blocker/below"},
        {Home() + "/bad?name"},
        {Home() + "//double"},
    };
    for (const Case& c : failures)
        EXPECT_FALSE(CreateFolderPath(c.path)) << c.path;
    EXPECT_FALSE(Exists(Home() + "/bad?name"));
}

TEST(CheckFileName, RefusesTheNineCharactersWithTheOopsBox)
{
    const std::string message =
        "Filenames may not contain any of these characters:\r\n\r\n \\ / : * ? \" < > |";
    for (char reserved : std::string("\\/:*?\"<>|")) {
        ScopedRecordingSink sink;
        const std::string name = std::string("Show ") + reserved + " 1";
        EXPECT_FALSE(CheckFileName(name, "Filenames")) << name;
        ASSERT_EQ(sink.Messages().size(), 1u) << name;
        EXPECT_EQ(sink.Messages()[0].title, "Oops!");
        EXPECT_EQ(sink.Messages()[0].text, message);
        EXPECT_EQ(sink.Messages()[0].buttons, MessageButtons::Ok);
    }
    ScopedRecordingSink sink;
    for (const char* name :
         {"Show 1", "", "it's a show, (really) [2024] & more; #3 ~ 50%", "Caf\xc3\xa9", ".hidden"})
        EXPECT_TRUE(CheckFileName(name, "Filenames")) << name;
    EXPECT_FALSE(CheckFileName(std::string("a\0b", 3), "Filenames"));
    EXPECT_EQ(sink.Messages().size(), 1u);
}

TEST(FormatMegabytes, WritesTenthsOfAMebibyte)
{
    struct Case
    {
        int64_t bytes;
        const char* text;
    };
    const Case cases[] = {
        {-1, "----"},        {INT64_MIN, "----"},     {0, "0.0 MB"},
        {1572864, "1.5 MB"}, {1048576, "1.0 MB"},     {1048575, "1.0 MB"},
        {52428, "0.0 MB"},   {104857600, "100.0 MB"}, {int64_t(5) << 40, "5242880.0 MB"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatMegabytes(c.bytes), c.text) << c.bytes;
}

TEST(TitleFromPath, KeepsTheNameWithoutFolderAndExtension)
{
    struct Case
    {
        const char* path;
        const char* title;
    };
    const Case cases[] = {
        {"/home/me/Tandrel Library/Default/Talk.kdw", "Talk"},
        {"/music/Talk.v2.final.wav", "Talk.v2.final"},
        {"Talk.kdw", "Talk"},
        {"Talk", "Talk"},
        {"/music.d/Talk", "Talk"},
        {"/music.d/", ""},
        {"/music/.hidden", ""},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TitleFromPath(c.path), c.title) << c.path;
}

} // namespace
} // namespace tandrel
