#pragma once
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "audio/format_converter.h"
#include "base/audio_format.h"
#include "base/ring_pieces.h"

namespace tandrel {

/** The audio a cart or deck player has just handed to its ring, in the recording format,
    for the record mixer. The player's stream writes (DSIdle), the recorder reads; counts
    only grow and positions are taken modulo the size. UI thread. */
class MixRing
{
public:
    /** Allocates `bytes` of storage and empties the ring; a converter from `playerFormat`
        is set up when it differs from `recordFormat`, for blocks of up to `maxBlockBytes`.
        False when memory is short or the formats cannot be converted. */
    bool Setup(uint32_t bytes, const AudioFormat& playerFormat, const AudioFormat& recordFormat,
               uint32_t maxBlockBytes);
    /** Converts `count` bytes of the player's audio when the formats differ and appends the
        result, overwriting the oldest bytes; a block longer than the ring keeps its end.
        Nothing while `stopping` or before Setup. */
    void Write(const uint8_t* bytes, uint32_t count);
    /** Takes `count` bytes: false (nothing taken) when fewer are available. */
    bool Read(uint32_t count, RingPieces& pieces);
    /** Both counts back to 0. */
    void Empty() { writeCount_ = readCount_ = 0; }
    uint32_t Available() const { return writeCount_ - readCount_; }
    uint32_t Size() const { return uint32_t(storage_.size()); }
    uint32_t WriteCount() const { return writeCount_; }
    uint32_t ReadCount() const { return readCount_; }

    /** The player's mix gain, 16.16 fixed point: 0x10000 unity, 0 muted. */
    int32_t gain = 0x10000;
    /** Set while the player is stopping: writes are ignored. */
    bool stopping = false;

private:
    void Append(const uint8_t* bytes, uint32_t count);

    std::vector<uint8_t> storage_;
    uint32_t writeCount_ = 0;
    uint32_t readCount_ = 0;
    bool convert_ = false;
    uint32_t blockBytes_ = 0;
    FormatConverter converter_; // the staging buffer for format conversion
};

/** The software mix of a recording: the captured input scaled by the record level, plus
    what each cart and deck is playing, saturated to 16 bits. UI thread. */
class RecordMixer
{
public:
    static constexpr uint32_t kMaxBytes = 0x10000;

    /** Mixes the captured 16-bit block given as one or two pieces (the second when the
        capture ring wraps). When both together exceed kMaxBytes only up to kMaxBytes of
        the first piece is used. `recordLevel` is 16.16 (0 mutes the input); with
        `softwareFader` false the input goes in unscaled. Each ring in `rings` (carts, then
        decks) that holds at least as many bytes adds them, scaled by its gain. Returns the
        16-bit result, valid until the next call, which the caller may change in place;
        `bytes` is its length. */
    int16_t* Mix(const RingPieces& captured, int32_t recordLevel, bool softwareFader,
                 std::span<MixRing* const> rings, uint32_t& bytes);

private:
    std::vector<int32_t> accumulator_ = std::vector<int32_t>(kMaxBytes / 2);
    std::vector<int16_t> result_ = std::vector<int16_t>(kMaxBytes / 2);
};

} // namespace tandrel
