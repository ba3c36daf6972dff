#pragma once
#include <memory>
#include <string>
#include <string_view>

#include "platform/audio/file_device.h"
#include "platform/audio/sound_device.h"

namespace tandrel {

/** Which backend to use, as written in TANDREL_AUDIO or in the saved settings. */
struct AudioChoice
{
    enum class Kind
    {
        kAutomatic, // PortAudio when it finds a playback device, else Null
        kNull,
        kPortAudio,
        kFile,
    };
    Kind kind = Kind::kAutomatic;
    FileAudioOptions file; // for kFile
};

/** Reads "" (automatic), "null", "portaudio" or "file:in=PATH,out=PATH[,fast]" where each
    part is optional and the parts come in any order (paths cannot hold commas). False for
    anything else, leaving `choice` alone. */
bool ParseAudioChoice(std::string_view text, AudioChoice& choice);

/** The text form of a choice, which ParseAudioChoice reads back. */
std::string AudioChoiceText(const AudioChoice& choice);

/** Opens the backend `choice` names (PortAudio, chosen or automatic, gives way to the Null
    device when it finds no playback device). `source` says in `why` where the choice came
    from. Never returns null. UI thread. */
std::unique_ptr<AudioBackend> OpenChosenAudioBackend(const AudioChoice& choice,
                                                     const std::string& source, std::string& why);

/** Opens the audio backend: the one named by the TANDREL_AUDIO environment variable when
    it is set and not empty, else `savedChoice` (the user's choice from the settings, "" for
    automatic). PortAudio, chosen or automatic, gives way to the Null device when it finds
    no playback device; so does a TANDREL_AUDIO value that cannot be read (a saved choice
    that cannot be read counts as automatic). UI thread, at start-up. Never returns null;
    `why` receives one line saying which backend was chosen and why. */
std::unique_ptr<AudioBackend> OpenAudioBackend(std::string_view savedChoice, std::string& why);

} // namespace tandrel
