// The transport panel's meters show each playback reading when the heard position reaches
// it, its faders keep their levels in the settings, and the Keyboard Commands window keeps
// its placement and shows a tip per key while it is large enough.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <cstdlib>

#include "app/waveform/keyboard_window.h"
#include "app/waveform/transport_panel.h"
#include "audio/audio_devices.h"
#include "audio/level_meter.h"
#include "engine/service_loop.h"
#include "engine/transport.h"
#include "settings/setting_defaults.h"
#include "settings/settings_store.h"
#include "waveform_test_support.h"

namespace tandrel::test {
namespace {

using namespace waveform;

constexpr Format kStereo{2, 8000, 16};

TEST(TransportPanelTest, MeterReadingsAreShownAsThePlayReachesThem)
{
    StreamFixture fixture;
    TransportPanel panel;
    panel.SetStream(fixture.stream.get());
    fixture.shell.panel = &panel;
    fixture.shell.meters = true;
    ASSERT_TRUE(fixture.OpenTone(kStereo, 500));

    SoundDevice* output = fixture.UseFileDevice(kStereo, fixture.dir.File("out.wav"));
    ASSERT_NE(output, nullptr);
    SoundDevice& device = *output;
    AudioStream& stream = *fixture.stream;

    TransportCommand(stream, kTransportPlay, false);
    ServiceAudio(false); // fills the ring: a second of readings waits in the queue
    EXPECT_GT(TheLevelMeters().Queued(), 25u);
    EXPECT_EQ(panel.Meters().readings, 0) << "nothing heard yet";

    const uint32_t windowBytes = kStereo.rate / 30 * kStereo.BlockAlign();
    for (int ms = 1; ms <= 1500; ++ms) {
        ServiceAudio(false);
        device.Pump(kStereo.rate / 1000);
        if (ms % 100 != 0) continue;
        SCOPED_TRACE(ms);
        // Every reading whose window has been heard, and no other.
        const int64_t heardWindows = int64_t(stream.HeardPosition()) / windowBytes;
        EXPECT_NEAR(panel.Meters().readings, heardWindows, 1);
        EXPECT_GT(panel.Meters().left, 0);
        EXPECT_GT(panel.Meters().right, 0) << "stereo";
    }
    StopKey(stream);
    EXPECT_EQ(panel.Meters().readings, 0) << "a stop clears the meters";
}

TEST(TransportPanelTest, MeterFillIsLogarithmicFromMinus60Decibels)
{
    EXPECT_EQ(MeterFill(0), 0);
    EXPECT_EQ(MeterFill(32), 0) << "-60 dB";
    EXPECT_EQ(MeterFill(32768), 1000);
    EXPECT_EQ(MeterFill(40000), 1000);
    EXPECT_NEAR(MeterFill(1036), 500, 1) << "-30 dB is half way";
}

TEST(TransportPanelTest, FadersKeepTheirLevelsInTheSettings)
{
    StreamFixture fixture;
    std::vector<int> moves;
    {
        TransportPanel panel;
        EXPECT_EQ(panel.RecordLevel(), 100) << "the default";
        panel.recordFaderMoved = [&](int level) { moves.push_back(level); };
        panel.SetRecordLevel(40);
        panel.SetMonitorLevel(150);
        EXPECT_EQ(panel.MonitorLevel(), 100);
        panel.SetMonitorLevel(7);
    }
    EXPECT_EQ(moves, std::vector<int>{40});
    EXPECT_EQ(ReadNumberSetting("RecordFader"), 40u);
    TransportPanel again;
    EXPECT_EQ(again.RecordLevel(), 40);
    EXPECT_EQ(again.MonitorLevel(), 7);
}

TEST(TransportPanelTest, TheStateAndPositionFollowTheStream)
{
    StreamFixture fixture;
    TransportPanel panel;
    panel.SetStream(fixture.stream.get());
    fixture.shell.panel = &panel;
    EXPECT_EQ(panel.PositionText(), "-:--:--.--") << "no Edit";
    ASSERT_TRUE(fixture.OpenTone(kStereo, 6000));
    ASSERT_EQ(fixture.View().SetCursor(32000 * 75 + 3200, true), 0);
    panel.RefreshTransport();
    EXPECT_EQ(panel.PositionText(), "0:01:15.10");
    EXPECT_EQ(panel.StateText(), "STANDBY");
    TransportCommand(*fixture.stream, kTransportPlay, false);
    EXPECT_EQ(panel.StateText(), "PLAYING");
    fixture.stream->recording = true;
    fixture.stream->recordPaused = true;
    panel.RefreshTransport();
    EXPECT_EQ(panel.StateText(), "PAUSED");
    fixture.stream->recording = fixture.stream->recordPaused = false;
}

class KeyboardWindowTest : public ::testing::Test
{
protected:
    StreamFixture fixture; // the settings live in its folder
};

TEST_F(KeyboardWindowTest, ItOpensOnceAndKeepsItsPlacement)
{
    KeyboardCommandsWindow* window = ShowKeyboardCommands(nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), "Tandrel Keyboard Commands");
    EXPECT_EQ(window->size(), QSize(751, 238)) << "nothing saved yet";
    EXPECT_EQ(ShowKeyboardCommands(nullptr), window) << "a second open brings it forward";

    window->setGeometry(40, 50, 600, 200);
    QApplication::processEvents();
    EXPECT_EQ(ReadNumberSetting("KBwinX"), 40u);
    EXPECT_EQ(ReadNumberSetting("KBwinY"), 50u);
    EXPECT_EQ(ReadNumberSetting("KBwinWidth"), 600u);
    EXPECT_EQ(ReadNumberSetting("KBwinHeight"), 200u);
    window->close();
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    KeyboardCommandsWindow* again = ShowKeyboardCommands(nullptr);
    EXPECT_NE(again, nullptr);
    EXPECT_EQ(again->geometry(), QRect(40, 50, 600, 200));
    again->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    // A corner off the desktop is not restored.
    WriteSettingNumber(kSettingTwoAttempts, kProductKey, "KBwinX", uint32_t(-500));
    KeyboardCommandsWindow* off = ShowKeyboardCommands(nullptr);
    EXPECT_EQ(off->size(), QSize(751, 238));
    off->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST_F(KeyboardWindowTest, EveryKeyOfTheMapHasATipWhileTheWindowIsLargeEnough)
{
    KeyboardCommandsWindow window;
    window.resize(751, 238);
    auto centreOf = [&](const char* title, const char* label) {
        for (const KeyRegion& key : KeyboardRegions())
            if (key.title && std::string(key.title) == title && std::string(key.label) == label) {
                const QSizeF units = KeyboardUnits();
                return QPointF((key.x + key.width / 2) * window.width() / units.width(),
                               (key.y + key.height / 2) * window.height() / units.height());
            }
        ADD_FAILURE() << "no key " << label << " for " << title;
        return QPointF(-1, -1);
    };
    const QString tip = window.TipAt(centreOf("Scrub Slow Forward", "3"));
    EXPECT_TRUE(tip.contains("Scrub Slow Forward"));
    EXPECT_TRUE(tip.contains("Hold this key down to play forwards at slow speed."));
    EXPECT_TRUE(window.TipAt(centreOf("Scrub Forward", "Right")).contains("Shift"));
    EXPECT_TRUE(window.TipAt(centreOf("Play / Stop", "Space")).contains("Play / Stop"));
    EXPECT_TRUE(window.TipAt(QPointF(5, 2.0 * window.height() / 6.5)).isEmpty())
        << "a key of no command";

    // No two keys overlap, so a point names one key.
    const auto& keys = KeyboardRegions();
    for (size_t i = 0; i < keys.size(); ++i)
        for (size_t j = i + 1; j < keys.size(); ++j) {
            const QRectF a(keys[i].x, keys[i].y, keys[i].width, keys[i].height);
            const QRectF b(keys[j].x, keys[j].y, keys[j].width, keys[j].height);
            EXPECT_FALSE(a.intersects(b)) << keys[i].label << " and " << keys[j].label;
        }

    const QPointF three = centreOf("Scrub Slow Forward", "3");
    window.resize(374, 238);
    EXPECT_TRUE(window.TipAt(three * 374.0 / 751.0).isEmpty()) << "too narrow for tips";
    window.resize(751, 118);
    EXPECT_TRUE(window.TipAt(QPointF(three.x(), three.y() * 118.0 / 238.0)).isEmpty());
    window.resize(375, 119);
    EXPECT_FALSE(window.TipAt(QPointF(three.x() * 375.0 / 751.0, three.y() * 119.0 / 238.0)).isEmpty());
}

} // namespace
} // namespace tandrel::test
