#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "base/audio_format.h"

namespace tandrel {

/** libsamplerate converter type for every rate change: 0 best, 1 medium, 2 fastest sinc.
    Start-up sets it to 2; InitFormatConverter reads it. UI thread. */
extern int gResamplerType;

/** Fills `format` as a PCM record: tag 1, block alignment (bits / 8) * channels, average
    bytes per second blockAlign * rate, extension size 0. Checks nothing. */
void MakeFormat(AudioFormat& format, uint32_t rate, uint32_t bits, uint32_t channels);

struct FormatConverter;

/** Sets up `converter` for blocks of at most `blockBytes` source bytes. The caller has filled
    `converter.source` and `converter.destination` with MakeFormat; everything else is
    cleared first. Linux has no Audio Compression Manager: `useAcm` is accepted and every
    rate change goes through libsamplerate (gResamplerType).
    Returns 0; 1004 for a format other than 1 or 2 channels of 8 or 16 bits, a zero rate or a
    rate ratio outside 1/256..256 (nothing is allocated then); 999 when `blockBytes` is less
    than one source frame or the resampler cannot be created; 1007 when memory runs out.
    After any failure the converter holds nothing but its formats. */
uint32_t InitFormatConverter(uint32_t blockBytes, FormatConverter& converter, bool useAcm);

/** Converts the first `inputBytes` bytes of InputBuffer() into OutputBuffer() and sets
    `outputBytes` to the bytes written there. Only whole source frames are read; a trailing
    partial frame is ignored. `finalBlock` flushes the resampler's delayed tail; after it the
    converter starts a new stream. Allocates nothing.
    Returns 0; 999 (with `outputBytes` 0) when the converter is not initialised, when
    `inputBytes` exceeds the block size, or when the resampler fails or would overrun the
    output buffer. */
uint32_t ConvertBlock(FormatConverter& converter, uint32_t inputBytes, uint32_t& outputBytes,
                      bool finalBlock);

/** Frees the buffers and deletes the resampler; the formats are kept. Safe after a failed
    initialisation and when called twice. Returns 0. */
uint32_t ReleaseFormatConverter(FormatConverter& converter);

/** Turns a stream of PCM blocks of one format (rate, 8/16 bits, 1/2 channels) into another.
    One per conversion stream, owned by its caller, who writes each block of source audio at
    the start of InputBuffer() and reads the result from OutputBuffer(). Owns its buffers and
    resampler, released by ReleaseFormatConverter or the destructor. The formats are read by
    InitFormatConverter only; changing them later has no effect until the next one. Any one
    thread at a time. */
struct FormatConverter
{
    AudioFormat source;
    AudioFormat destination;

    /** Where the caller writes a block; InputCapacity() bytes (block bytes + 64). */
    uint8_t* InputBuffer() { return byteIn_.data(); }
    size_t InputCapacity() const { return byteIn_.size(); }
    /** The converted block, valid until the next ConvertBlock. */
    const uint8_t* OutputBuffer() const { return byteOut_.data(); }
    size_t OutputCapacity() const { return byteOut_.size(); }
    /** 0 when not initialised. */
    uint32_t BlockBytes() const { return blockBytes_; }
    bool Resampling() const { return resampler_ != nullptr; }

  private:
    friend uint32_t InitFormatConverter(uint32_t, FormatConverter&, bool);
    friend uint32_t ConvertBlock(FormatConverter&, uint32_t, uint32_t&, bool);
    friend uint32_t ReleaseFormatConverter(FormatConverter&);

    struct Resampler; // libsamplerate state and its data record, kept out of this header
    struct ResamplerDeleter
    {
        void operator()(Resampler* resampler) const noexcept;
    };

    /** Resamples `frames` source frames from floatIn_ into byteOut_ at the destination width
        and the source channel count; `bytes` is what was appended. 0 or 999. */
    uint32_t Resample(uint32_t frames, bool finalBlock, size_t& bytes);

    std::vector<uint8_t> byteIn_;
    std::vector<uint8_t> byteOut_;
    std::vector<float> floatIn_;  // one block of source samples
    std::vector<float> floatOut_; // resampler output, drained into byteOut_ call by call
    std::unique_ptr<Resampler, ResamplerDeleter> resampler_;
    AudioFormat from_; // the formats the buffers were sized for
    AudioFormat to_;
    uint32_t blockBytes_ = 0;
};

} // namespace tandrel
