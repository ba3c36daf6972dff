#pragma once
#include <memory>
#include <string>

#include "platform/audio/sound_device.h"

namespace tandrel {

/** Starts PortAudio, which reaches the sound card through ALSA and a PulseAudio or PipeWire
    server through ALSA's "pulse" plug-in ("pulse" and "default" devices). The start-up
    messages that ALSA and JACK print about missing servers are silenced. Playback and
    capture are separate streams (a full-duplex stream glitches on the pulse plug-in), each
    asking for 150 ms of latency, or TANDREL_AUDIO_LATENCY_MS (20 to 2000) when set. Returns
    null when PortAudio cannot start; a backend
    that lists no playback device means there is no server or card. `why` describes it. */
std::unique_ptr<AudioBackend> MakePortAudioBackend(std::string& why);

} // namespace tandrel
