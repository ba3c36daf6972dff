#pragma once

namespace tandrel {

/** Moves the audio captured since the last call into the recording: automatic gain control,
    mono fold and the software mix as set, the recent-audio ring, the meters, then the
    recording's file. Run every main-loop turn while recording and not paused. 0 (also when
    there was nothing new), -1 with audio off, kAudioNotOpen without the main stream or a
    capture buffer; a failing capture or file write abandons the recording ("WriteRecordedData
    generated error %x, aborting.") and returns its code; a capture buffer gone while recording
    stops and saves the recording, reports kAudioNotOpen the same way and returns it. UI
    thread. */
int WriteRecordedData();

/** The input monitor: while the capture is armed or the recording paused, drains the capture
    buffer through the same steps for the meters and the gain control, writing nothing. */
void MonitorInput();

/** Takes whatever the capture holds past the read offset into the recording, with the
    capture already stopped: the end of a recording. */
int DrainStoppedCapture();

} // namespace tandrel
