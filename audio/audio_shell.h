#pragma once
#include <cstdint>

namespace tandrel {

/** What the streams and the service loop ask of the rest of the program: the displays, the
    recorder, the scrub keys, the players. The program installs its own; the command-line
    tool and the tests use the plain defaults (nothing shown, nothing held, nothing
    recording). UI thread only. */
class AudioShell
{
public:
    virtual ~AudioShell() = default;

    // Displays.
    /** The transport display (state text, buttons) shows the main stream's state afresh. */
    virtual void RefreshTransport() {}
    /** The cue line moved while playing: redraw it. */
    virtual void RedrawCue() {}
    /** After a stop with refresh: redraw the cue line and the overview. */
    virtual void RedrawCueAndOverview() {}
    /** The waveform displays must be redrawn on their next paint. */
    virtual void FlagWaveformsForRefresh() {}
    /** The main stream opened another Edit: window title and marker displays. */
    virtual void EditChanged() {}
    /** One meter reading for the output/recording meter pair; `right` is -1 for mono. */
    virtual void ShowMeterReading(int32_t /*left*/, int32_t /*right*/, bool /*leftClip*/,
                                  bool /*rightClip*/)
    {
    }
    /** The meters fall back to nothing. */
    virtual void ClearMeterDisplays() {}
    /** Whether the level meters are on. */
    virtual bool MetersOn() const { return false; }

    // Recording, markers and previews of the main stream.
    /** Waits until marker insertions that are still pending are complete. */
    virtual void WaitForMarkerInsertions() {}
    /** Ends a record preview that is running and closes the Markers window. */
    virtual void EndRecordPreviewAndMarkers() {}
    /** A recording under way and not paused: drain the capture buffer into the Edit. */
    virtual void WriteRecordedData() {}
    /** The input monitor: while recording is armed or paused, drain the capture buffer
        for the meters. */
    virtual void MonitorInput() {}
    /** While recording: the recorder's time and free-space limits are checked (it asks for
        the stop when one is reached). */
    virtual void CheckRecordingLimits() {}

    // Players.
    /** A cart (`isDeck` false) or deck finished: the player-finished message (0x916E) to
        the main window, first parameter isDeck, second the player index. */
    virtual void PostPlayerFinished(bool /*isDeck*/, uint32_t /*playerIndex*/) {}
    /** The automatic fader moves of the players advance one step. */
    virtual void AdvanceFaderMoves() {}
};

/** The shell in use; never null (the plain defaults when none is installed). */
AudioShell& TheAudioShell();
/** Installs `shell` (null: the defaults again). The caller keeps it alive. UI thread. */
void InstallAudioShell(AudioShell* shell);

/** Window message a player stream posts when it has played to its end. */
inline constexpr uint32_t kPlayerFinishedMessage = 0x916E;

} // namespace tandrel
