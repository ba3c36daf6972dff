#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

#include "base/audio_format.h"

namespace tandrel {

/** Writes a canonical PCM WAV file: a 44-byte header ("fmt " of 16 bytes) and the samples.
    The size fields are written when the file is closed. UI or worker thread, one at a time. */
class WavWriter
{
public:
    WavWriter() = default;
    ~WavWriter();
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    /** Creates (or replaces) `path` for audio of `format`. False with errno set on failure. */
    bool Open(const std::string& path, const AudioFormat& format);
    /** Appends `count` bytes of samples. False on a write error, or when the data would pass
        the 4 GiB a WAV file can describe. */
    bool Write(const void* bytes, uint64_t count);
    /** Fixes the size fields, flushes and closes. False when any of that failed. */
    bool Close();
    uint64_t DataBytes() const { return dataBytes_; }

private:
    std::FILE* file_ = nullptr;
    AudioFormat format_;
    uint64_t dataBytes_ = 0;
    bool failed_ = false;
};

/** The 44 bytes that start a canonical PCM WAV file holding `dataBytes` of samples. */
void EncodeWavHeader(const AudioFormat& format, uint32_t dataBytes, uint8_t out[44]);

} // namespace tandrel
