#pragma once

#include "audio/audio_devices_dialog.h"

namespace tandrel {

/** The Audio Devices command: opens the dialog and, after OK, applies the change. True when
    the person pressed OK. UI thread. */
bool ShowAudioDevicesDialog();

/** The work after OK: stops the players; when anything changed, stops and saves a recording
    under way (through the transport's stopRecording), stops the main stream's playback and
    releases the input monitor; with a new device, a new sound system or audio switched,
    closes the devices (opening the new sound system), resets the mixer binding (device or
    sound system changed) and, with audio on, opens them again in the
    open Edit's format (the recording format without one); a new default format becomes the
    playback format when no Edit is open and is applied; the players are armed again and,
    in standby, so is the input monitor. UI thread. */
void ApplyAudioDevicesChange(const AudioDevicesChange& change);

} // namespace tandrel
