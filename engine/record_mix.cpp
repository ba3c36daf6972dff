#include "engine/record_mix.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace tandrel {

bool MixRing::Setup(uint32_t bytes, const AudioFormat& playerFormat,
                    const AudioFormat& recordFormat, uint32_t maxBlockBytes)
{
    Empty();
    ReleaseFormatConverter(converter_);
    convert_ = false;
    try {
        storage_.assign(bytes, 0);
    } catch (const std::bad_alloc&) {
        storage_.clear();
        return false;
    }
    if (playerFormat.channels == recordFormat.channels &&
        playerFormat.sampleRate == recordFormat.sampleRate &&
        playerFormat.bitsPerSample == recordFormat.bitsPerSample)
        return true;
    MakeFormat(converter_.source, playerFormat.sampleRate, playerFormat.bitsPerSample,
               playerFormat.channels);
    MakeFormat(converter_.destination, recordFormat.sampleRate, recordFormat.bitsPerSample,
               recordFormat.channels);
    if (InitFormatConverter(maxBlockBytes, converter_, false) != 0) return false;
    convert_ = true;
    blockBytes_ = maxBlockBytes;
    return true;
}

void MixRing::Append(const uint8_t* bytes, uint32_t count)
{
    const uint32_t size = Size();
    CopyIntoRing(storage_.data(), size, writeCount_ % size, bytes, count);
    writeCount_ += std::min(count, size);
    // Bytes overwritten before the recorder took them are lost to it.
    if (writeCount_ - readCount_ > size) readCount_ = writeCount_ - size;
}

void MixRing::Write(const uint8_t* bytes, uint32_t count)
{
    if (stopping || storage_.empty() || count == 0) return;
    if (!convert_) {
        Append(bytes, count);
        return;
    }
    while (count > 0) {
        const uint32_t part = std::min(count, blockBytes_);
        std::memcpy(converter_.InputBuffer(), bytes, part);
        uint32_t converted = 0;
        if (ConvertBlock(converter_, part, converted, false) != 0) return;
        Append(converter_.OutputBuffer(), converted);
        bytes += part;
        count -= part;
    }
}

bool MixRing::Read(uint32_t count, RingPieces& pieces)
{
    pieces = RingPieces{};
    if (storage_.empty() || Available() < count) return false;
    const uint32_t size = Size();
    pieces = PiecesOfRing<const uint8_t>(storage_.data(), size, readCount_ % size, count);
    readCount_ += count;
    return true;
}

namespace {

// Adds 16-bit samples to the accumulator, scaled by a 16.16 gain.
void AddScaled(int32_t* into, const uint8_t* bytes, uint32_t samples, int32_t gain)
{
    for (uint32_t i = 0; i < samples; ++i) {
        int16_t s;
        std::memcpy(&s, bytes + 2 * i, 2);
        into[i] += gain == 0x10000 ? s : int32_t((int64_t(s) * gain) >> 16);
    }
}

} // namespace

int16_t* RecordMixer::Mix(const RingPieces& captured, int32_t recordLevel,
                          bool softwareFader, std::span<MixRing* const> rings,
                          uint32_t& bytes)
{
    RingPieces input = captured;
    if (uint64_t(input.size[0]) + input.size[1] > kMaxBytes) {
        input.size[0] = std::min(input.size[0], kMaxBytes);
        input.size[1] = 0;
    }
    bytes = (input.size[0] + input.size[1]) & ~1u;
    const uint32_t samples = bytes / 2;
    int32_t* acc = accumulator_.data();

    if (recordLevel == 0) {
        std::fill_n(acc, samples, 0);
    } else {
        const int32_t gain = softwareFader ? recordLevel : 0x10000;
        uint32_t done = 0;
        for (int piece = 0; piece < 2; ++piece) {
            const uint32_t n = std::min(input.size[piece] / 2, samples - done);
            std::fill_n(acc + done, n, 0);
            if (n) AddScaled(acc + done, input.data[piece], n, gain);
            done += n;
        }
        // An odd byte at the end of the first piece shifts the second: take it sample-wise.
        std::fill_n(acc + done, samples - done, 0);
    }

    for (MixRing* ring : rings) {
        RingPieces pieces;
        if (!ring || !ring->Read(bytes, pieces)) continue;
        uint32_t done = 0;
        for (int piece = 0; piece < 2; ++piece) {
            const uint32_t n = pieces.size[piece] / 2;
            if (n) AddScaled(acc + done, pieces.data[piece], n, ring->gain);
            done += n;
        }
    }

    int16_t* out = result_.data();
    for (uint32_t i = 0; i < samples; ++i)
        out[i] = int16_t(std::clamp(acc[i], -32768, 32767));
    return out;
}

} // namespace tandrel
