// `tandrel-cli devices`: the device lists of the backend TANDREL_AUDIO names, from the real
// binary. The lists of a real sound server are checked by the PortAudio and engine tests.
#include <gtest/gtest.h>

#include <cstdlib>

#include "cli_runner.h"
#include "platform/audio/device_id.h"

namespace tandrel::cli {
namespace {

class DevicesCommandTest : public CliTest
{
  protected:
    void SetUp() override
    {
        CliTest::SetUp();
        setenv("XDG_CONFIG_HOME", PathOf("config").c_str(), 1);
    }
    void TearDown() override
    {
        unsetenv("TANDREL_AUDIO");
        CliTest::TearDown();
    }

    JsonValue Devices(const std::string& backend)
    {
        setenv("TANDREL_AUDIO", backend.c_str(), 1);
        RunResult run = Run({"devices", "--json"});
        EXPECT_EQ(run.status, 0) << run.err;
        std::string error;
        std::optional<JsonValue> json = ParseJson(run.out, &error);
        if (!json) {
            ADD_FAILURE() << "not JSON (" << error << "): " << run.out;
            return {};
        }
        return *json;
    }
};

TEST_F(DevicesCommandTest, ListsTheDevicesOfTheBackendsWithoutHardware)
{
    struct Device { std::string hostApi, name; };
    struct Case { std::string choice; std::string backend; std::vector<Device> playback, capture; };
    const std::string out = PathOf("out.wav");
    const Case kCases[] = {
        {"null", "null", {{"Null", "Null device (no sound)"}}, {{"Null", "Null device (silence)"}}},
        {"file:out=" + out, "file", {{"File", "File: " + out}}, {{"File", "File: silence"}}},
        // A capture file that cannot be read leaves no capture device to list.
        {"file:in=" + PathOf("missing.wav"), "file", {{"File", "File: output discarded"}}, {}},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.choice);
        const JsonValue json = Devices(c.choice);
        EXPECT_EQ(json["backend"].text, c.backend);
        EXPECT_NE(json["backendDescription"].text.find("TANDREL_AUDIO"), std::string::npos);
        auto check = [](const JsonValue& list, const std::vector<Device>& expected, bool capture) {
            ASSERT_EQ(list.Size(), expected.size());
            for (size_t i = 0; i < expected.size(); ++i) {
                const JsonValue& entry = list[i];
                EXPECT_EQ(entry["index"].U64(), i);
                EXPECT_EQ(entry["description"].text, expected[i].name);
                EXPECT_EQ(entry["identity"].text,
                          DeviceIdText(MakeDeviceId(expected[i].hostApi, expected[i].name)));
                // The only device is the default and the one chosen.
                EXPECT_TRUE(entry["default"].boolean);
                EXPECT_TRUE(entry["selected"].boolean);
                EXPECT_EQ(entry.Has("needsCaptureNotify"), capture);
            }
        };
        check(json["playback"], c.playback, false);
        check(json["capture"], c.capture, true);
    }
    // Listing opens no playback device: the output file is never made.
    EXPECT_FALSE(fs::exists(out));
}

TEST_F(DevicesCommandTest, TextListingAndWrongArguments)
{
    setenv("TANDREL_AUDIO", "null", 1);
    RunResult run = Run({"devices"});
    EXPECT_EQ(run.status, 0) << run.err;
    const std::string id = DeviceIdText(MakeDeviceId("Null", "Null device (no sound)"));
    EXPECT_NE(run.out.find("Backend: Null device (TANDREL_AUDIO)"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("0  " + id + "  Null device (no sound)  [default]  [selected]"),
              std::string::npos)
        << run.out;
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"devices", "extra"}, {"devices", "--jsn"}}) {
        RunResult wrong = Run(args);
        EXPECT_EQ(wrong.status, 2) << args[1];
        EXPECT_NE(wrong.err.find("devices [--json]"), std::string::npos) << wrong.err;
    }
}

} // namespace
} // namespace tandrel::cli
