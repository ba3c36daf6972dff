#pragma once
#include <cstdint>
#include <string>

namespace tandrel::app {

/** What the Transcription dialog sets: whether the keyboard hook is installed, its two keys
    (X key names such as "F9") and how far the back key steps. */
struct TranscriptionSettings
{
    bool enabled = false;
    std::string playPauseKey;
    std::string backKey;
    uint32_t backSeconds = 0;
};

/** The settings as stored, defaults where missing. Any thread. */
TranscriptionSettings LoadTranscriptionSettings();
/** Stores all four; false when the settings file could not be written. */
bool SaveTranscriptionSettings(const TranscriptionSettings& settings);

/** Whether this desktop lets one program take keys typed into another: an X display without
    a Wayland session. Elsewhere the transcription actions are reached as commands. */
bool GlobalKeysAvailable();

} // namespace tandrel::app
