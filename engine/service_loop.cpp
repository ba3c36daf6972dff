#include "engine/service_loop.h"

#include <chrono>

#include "audio/audio_devices.h"
#include "audio/audio_shell.h"
#include "engine/audio_stream.h"
#include "engine/transport.h"

namespace tandrel {

namespace {
int gLastState = kStateStandby;
bool gScrubKeyHeld = false;
} // namespace

uint64_t ServiceClockMs()
{
    using namespace std::chrono;
    return uint64_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void ServiceAudio(bool fromDialog)
{
    AudioShell& shell = TheAudioShell();
    AudioStream* main = MainStream();
    const bool audioOn = AudioEngine().audioEnabled;

    int state = main ? main->State() : kStateStandby;
    if (state != gLastState) {
        gLastState = state;
        shell.RefreshTransport();
        // A play that ran to its end stopped by itself: the input monitor listens again,
        // as after every stop.
        if (main && state == kStateStandby) ArmRecording(*main);
    }
    if (main) {
        if (fromDialog && state == kStateRecording && !main->recordPaused)
            shell.WriteRecordedData();
        // Here rather than at a paint: a minimised window never paints.
        if (state == kStateRecording) shell.CheckRecordingLimits();
        if (audioOn && DSIdle(*main)) shell.RedrawCue();
    }
    if (!fromDialog && main) {
        const TransportState& transport = Transport();
        const bool held = transport.rewindHeld || transport.forwardHeld;
        if (held)
            ScrubStep(*main, ServiceClockMs());
        else if (gScrubKeyHeld)
            shell.RefreshTransport(); // once, as the last scrub key comes up
        gScrubKeyHeld = held;
    }
    state = main ? main->State() : kStateStandby;
    if (state != kStatePlaying) shell.MonitorInput();
    if (audioOn) {
        // PlayerStreams keeps the carts before the decks.
        for (AudioStream* player : PlayerStreams())
            DSIdle(*player);
    }
    shell.AdvanceFaderMoves();
}

unsigned ServicePeriodMs()
{
    const AudioStream* main = MainStream();
    if (main && main->State() != kStateStandby) return 1;
    for (const AudioStream* player : PlayerStreams())
        if (player->State() != kStateStandby) return 1;
    return 10;
}

} // namespace tandrel
