#include "audio/service_loop.h"

#include "audio/audio_devices.h"
#include "audio/audio_shell.h"
#include "audio/audio_stream.h"

namespace tandrel {

namespace {
int gLastState = kStateStandby;
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
    }
    if (main) {
        if (fromDialog && state == kStateRecording && !main->recordPaused)
            shell.WriteRecordedData();
        if (audioOn && DSIdle(*main)) shell.RedrawCue();
    }
    if (!fromDialog) {
        bool released = false;
        shell.ScrubStep(released);
        if (released) shell.RefreshTransport();
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
