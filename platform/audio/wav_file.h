#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/audio/sound_device.h"

namespace tandrel {

// The File device's own WAV reading and writing: canonical PCM only, kept here so that the
// device layer needs nothing above it.

/** Writes a canonical 44-byte-header PCM WAV file; the size fields are fixed on Close. */
class WavSink
{
  public:
    WavSink() = default;
    ~WavSink() { Close(); }
    WavSink(const WavSink&) = delete;
    WavSink& operator=(const WavSink&) = delete;

    /** Creates or replaces `path`. False with `error` set. */
    bool Open(const std::string& path, const PcmFormat& format, std::string& error);
    /** Appends samples. False once any write has failed. */
    bool Write(const void* bytes, size_t count);
    /** Changes the format of a file that holds no samples yet; false otherwise. */
    bool Reformat(const PcmFormat& format);
    /** Fixes the size fields and closes. False when a write failed at any point. */
    bool Close();
    bool IsOpen() const { return file_ != nullptr; }
    uint64_t DataBytes() const { return dataBytes_; }

  private:
    bool WriteHeader();

    std::FILE* file_ = nullptr;
    PcmFormat format_;
    uint64_t dataBytes_ = 0;
    bool failed_ = false;
};

/** Reads the samples of a PCM WAV file (8 or 16 bits, 1 or 2 channels) as 16-bit frames.
    Chunks other than "fmt " and "data" are skipped; a data chunk that claims more than the
    file holds is read as far as it goes. */
class WavSource
{
  public:
    WavSource() = default;
    ~WavSource();
    WavSource(const WavSource&) = delete;
    WavSource& operator=(const WavSource&) = delete;

    /** False with `error` set for a missing file or one that is not such a WAV file. */
    bool Open(const std::string& path, std::string& error);
    /** Its rate, channels and bits as stored. */
    const PcmFormat& Format() const { return format_; }
    /** Reads up to `frames` frames as 16-bit samples in the file's channel count.
        Returns how many were read; 0 at the end. */
    uint32_t Read(int16_t* samples, uint32_t frames);

  private:
    std::FILE* file_ = nullptr;
    PcmFormat format_;
    uint64_t remaining_ = 0; // bytes of samples still to read
    std::vector<uint8_t> raw_;
};

} // namespace tandrel
