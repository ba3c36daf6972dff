#include "engine/device_change.h"

#include "engine/audio_stream.h"
#include "engine/transport.h"

namespace tandrel {
namespace {

// Nothing may run on the devices while they change under it: the capture would be gone
// while the display still said RECORDING. A recording is stopped and saved by its own
// command, playback stops, and the input monitor lets go of its capture ring.
void StopUsingTheDevices(AudioStream* main)
{
    const TransportState& transport = Transport();
    if (transport.isRecording && transport.isRecording() && transport.stopRecording)
        transport.stopRecording();
    if (!main) return;
    if (main->playing || main->scrubbing) main->Stop(true);
    DisarmRecording(*main);
}

} // namespace

bool ShowAudioDevicesDialog()
{
    const std::optional<AudioDevicesChange> change = AskForAudioDevices(false);
    if (!change) return false;
    ApplyAudioDevicesChange(*change);
    return true;
}

void ApplyAudioDevicesChange(const AudioDevicesChange& change)
{
    AudioEngineState& engine = AudioEngine();
    const AudioDeviceHooks& hooks = InstalledAudioDeviceHooks();
    const bool editOpen = hooks.editIsOpen && hooks.editIsOpen();
    if (hooks.stopPlayers) hooks.stopPlayers();
    AudioStream* main = MainStream();
    const bool devicesChange = change.audioSwitched || change.deviceChanged || change.backendChanged;
    if (devicesChange || change.formatChanged) StopUsingTheDevices(main);
    if (devicesChange) {
        ShutdownDirectSound();
        if (change.backendChanged) SwitchAudioBackend(change.backend);
        if ((change.deviceChanged || change.backendChanged) && hooks.resetMixerBinding)
            hooks.resetMixerBinding();
        if (engine.audioEnabled)
            InitDirectSound(editOpen ? engine.playbackFormat : engine.recordingFormat, true);
    }
    if (change.formatChanged) {
        // The new format is played in only when no Edit holds the output to its own.
        if (!editOpen) engine.playbackFormat = engine.recordingFormat;
        ApplyAudioFormat(engine.playbackFormat);
    }
    if (hooks.rearmPlayers) hooks.rearmPlayers();
    // The input monitor listens again, on the new devices and in the new format.
    if (main && main->State() == kStateStandby) ArmRecording(*main);
}

} // namespace tandrel
