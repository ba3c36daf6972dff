#pragma once
#include <memory>
#include <string>

#include "platform/audio/sound_device.h"

namespace tandrel {

/** What the File backend reads and writes. */
struct FileAudioOptions
{
    std::string inPath;  // WAV the capture device reads; empty: it captures silence
    std::string outPath; // WAV the playback device writes (16-bit, the output format);
                         // empty: the mix is discarded
    bool fast = false;   // driven by Pump as fast as the caller likes, instead of a clock
};

/** The backend that stands in for hardware with WAV files: one playback device writing the
    mix to `outPath`, one capture device reading `inPath` (converted to each capture buffer's
    rate and channels by linear interpolation; silence after its end). The input is one
    continuous stream that advances only while a buffer captures. In real time a clock
    drives both; with `fast` nothing moves until the caller pumps, so results are exact. */
std::unique_ptr<AudioBackend> MakeFileBackend(const FileAudioOptions& options);

} // namespace tandrel
