// Device identities, their stored text, and which backend is chosen.
#include <cstdlib>
#include <optional>

#include <gtest/gtest.h>

#include "platform/audio/audio_backend.h"
#include "platform/audio/portaudio_device.h"
#include "platform_test_support.h"

namespace tandrel::test {
namespace {

/** Sets an environment variable (null: unsets it) for one scope and puts the old value back. */
class ScopedEnv
{
  public:
    ScopedEnv(const char* name, const char* value) : name_(name)
    {
        if (const char* old = std::getenv(name)) old_ = old;
        Set(value);
    }
    ~ScopedEnv() { Set(old_ ? old_->c_str() : nullptr); }

  private:
    void Set(const char* value) { value ? setenv(name_, value, 1) : unsetenv(name_); }
    const char* name_;
    std::optional<std::string> old_;
};

TEST(DeviceId, TextRoundTripsAndMatchesTheStoredForm)
{
    // Identities are saved in the settings: the text of a given device must never change,
    // or every user's saved choice would stop matching after an update. The expected text
    // was worked out separately (128-bit FNV-1a of "ALSA\0pulse", version and variant bits).
    const DeviceId id = MakeDeviceId("ALSA", "pulse");
    EXPECT_EQ(DeviceIdText(id), "{967F4261-0FC9-5114-B788-8511E2A0A02C}");
    DeviceId back{};
    ASSERT_TRUE(ParseDeviceId(DeviceIdText(id), back));
    EXPECT_EQ(back, id);
    ASSERT_TRUE(ParseDeviceId("{967f4261-0fc9-5114-b788-8511e2a0a02c}", back));
    EXPECT_EQ(back, id) << "lower case reads too";
    EXPECT_EQ(back[0], 0x61) << "the first field is stored little-endian, as a GUID is";

    const DeviceId others[] = {MakeDeviceId("ALSA", "default"), MakeDeviceId("OSS", "pulse"),
                               MakeDeviceId("ALSApulse", ""), MakeDeviceId("", "ALSApulse")};
    for (const DeviceId& other : others)
        EXPECT_NE(other, id) << DeviceIdText(other);
    EXPECT_FALSE(IsDefaultDeviceId(MakeDeviceId("", "")));
}

TEST(DeviceId, MalformedTextIsRefused)
{
    const char* kBad[] = {
        "",
        "D5E1DBDF-5A32-57CA-ABC7-6A8D1C01C8F2",
        "{D5E1DBDF-5A32-57CA-ABC7-6A8D1C01C8F2",
        "{D5E1DBDF5A32-57CA-ABC7-6A8D1C01C8F2-}",
        "{D5E1DBDF-5A32-57CA-ABC7-6A8D1C01C8G2}",
        "{D5E1DBDF-5A32-57CA-ABC7-6A8D1C01C8F2}x",
        "{ D5E1DBDF-5A32-57CA-ABC7-6A8D1C01C8F}",
    };
    for (const char* text : kBad) {
        DeviceId id = MakeDeviceId("keep", "me");
        EXPECT_FALSE(ParseDeviceId(text, id)) << text;
        EXPECT_EQ(id, MakeDeviceId("keep", "me")) << "left alone: " << text;
    }
}

TEST(AudioChoice, ParsesEachFormAndWritesItBack)
{
    struct Case { const char* text; bool ok; AudioChoice::Kind kind; const char* in; const char*
        out; bool fast; };
    using K = AudioChoice::Kind;
    const Case kCases[] = {
        {"", true, K::kAutomatic, "", "", false},
        {"null", true, K::kNull, "", "", false},
        {"portaudio", true, K::kPortAudio, "", "", false},
        {"file:in=/a/b.wav,out=/c d.wav", true, K::kFile, "/a/b.wav", "/c d.wav", false},
        {"file:out=o.wav,fast", true, K::kFile, "", "o.wav", true},
        {"file:fast,in=x=y.wav", true, K::kFile, "x=y.wav", "", true},
        {"file:", true, K::kFile, "", "", false},
        {"file:in=", false, K::kAutomatic, "", "", false},
        {"file:in=a,speed", false, K::kAutomatic, "", "", false},
        {"file:in=a,,out=b", false, K::kAutomatic, "", "", false},
        {"Null", false, K::kAutomatic, "", "", false},
        {"pulse", false, K::kAutomatic, "", "", false},
    };
    for (const Case& c : kCases) {
        AudioChoice choice;
        choice.file.inPath = "untouched";
        ASSERT_EQ(ParseAudioChoice(c.text, choice), c.ok) << c.text;
        if (!c.ok) {
            EXPECT_EQ(choice.file.inPath, "untouched") << c.text;
            continue;
        }
        EXPECT_EQ(choice.kind, c.kind) << c.text;
        EXPECT_EQ(choice.file.inPath, c.in) << c.text;
        EXPECT_EQ(choice.file.outPath, c.out) << c.text;
        EXPECT_EQ(choice.file.fast, c.fast) << c.text;
        AudioChoice again;
        ASSERT_TRUE(ParseAudioChoice(AudioChoiceText(choice), again)) << AudioChoiceText(choice);
        EXPECT_EQ(again.kind, choice.kind);
        EXPECT_EQ(again.file.inPath, choice.file.inPath);
        EXPECT_EQ(again.file.outPath, choice.file.outPath);
        EXPECT_EQ(again.file.fast, choice.file.fast);
    }
}

TEST(OpenAudioBackend, TheEnvironmentOverridesTheSavedChoice)
{
    TempFolder folder;
    const std::string fileChoice = "file:out=" + folder.Path("o.wav") + ",fast";
    struct Case
    {
        const char* environment; // null: unset
        std::string saved;
        const char* backend;
        const char* whyMentions;
    };
    const Case kCases[] = {
        {"null", fileChoice, "null", "TANDREL_AUDIO"},
        {fileChoice.c_str(), "null", "file", "TANDREL_AUDIO"},
        {"speakers", fileChoice, "null", "speakers"},
        {nullptr, "null", "null", "saved"},
        {"", fileChoice, "file", "saved"},
        {nullptr, fileChoice, "file", "o.wav"},
    };
    for (const Case& c : kCases) {
        ScopedEnv environment("TANDREL_AUDIO", c.environment);
        std::string why;
        auto backend = OpenAudioBackend(c.saved, why);
        ASSERT_NE(backend, nullptr);
        EXPECT_STREQ(backend->Name(), c.backend) << why;
        EXPECT_NE(why.find(c.whyMentions), std::string::npos) << why;
    }
}

TEST(OpenAudioBackend, PortAudioWithoutAServerGivesWayToTheNullDevice)
{
    // Point the pulse plug-in at a socket where nothing listens: PortAudio then starts
    // with no usable device, as on a machine without sound.
    TempFolder folder;
    const std::string nowhere = "unix:" + folder.Path("no-server");
    ScopedEnv server("PULSE_SERVER", nowhere.c_str());
    ScopedEnv choice("TANDREL_AUDIO", "portaudio");
    std::string found;
    auto portAudio = MakePortAudioBackend(found);
    ASSERT_NE(portAudio, nullptr) << found;
    if (!portAudio->PlaybackDevices().empty())
        GTEST_SKIP() << "this machine has a sound card, so PortAudio is never without a device";
    std::unique_ptr<SoundDevice> device;
    EXPECT_NE(portAudio->OpenPlayback(DeviceId{}, device), kAudioOk);
    portAudio.reset();

    std::string why;
    auto backend = OpenAudioBackend("", why);
    EXPECT_STREQ(backend->Name(), "null");
    EXPECT_NE(why.find("Null device"), std::string::npos) << why;
    EXPECT_NE(why.find("0 playback"), std::string::npos) << why;
}

} // namespace
} // namespace tandrel::test
