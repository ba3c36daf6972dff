#include "platform/audio/wav_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/audio_samples.h"

namespace tandrel {
namespace {

void Put16(uint8_t* p, uint32_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
void Put32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}
uint32_t Get16(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8;
}
uint32_t Get32(const uint8_t* p)
{
    return Get16(p) | Get16(p + 2) << 16;
}

constexpr uint64_t kMaxDataBytes = 0xFFFFFFFFull - 36;
constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatExtensible = 0xFFFE;

} // namespace

bool WavSink::Open(const std::string& path, const PcmFormat& format, std::string& error)
{
    Close();
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) {
        error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    format_ = format;
    dataBytes_ = 0;
    failed_ = false;
    if (!WriteHeader()) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        Close();
        return false;
    }
    return true;
}

bool WavSink::WriteHeader()
{
    const uint32_t data = uint32_t(std::min(dataBytes_, kMaxDataBytes));
    uint8_t h[44];
    std::memcpy(h, "RIFF", 4);
    Put32(h + 4, 36 + data);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    Put32(h + 16, 16);
    Put16(h + 20, kFormatPcm);
    Put16(h + 22, format_.channels);
    Put32(h + 24, format_.rate);
    Put32(h + 28, format_.BytesPerSecond());
    Put16(h + 32, format_.BlockAlign());
    Put16(h + 34, format_.bits);
    std::memcpy(h + 36, "data", 4);
    Put32(h + 40, data);
    return std::fseek(file_, 0, SEEK_SET) == 0 && std::fwrite(h, 1, 44, file_) == 44;
}

bool WavSink::Write(const void* bytes, size_t count)
{
    if (!file_ || failed_) return false;
    if (dataBytes_ + count > kMaxDataBytes || std::fwrite(bytes, 1, count, file_) != count) {
        failed_ = true;
        return false;
    }
    dataBytes_ += count;
    return true;
}

bool WavSink::Reformat(const PcmFormat& format)
{
    if (!file_ || dataBytes_ != 0) return false;
    format_ = format;
    failed_ = failed_ || !WriteHeader();
    return !failed_;
}

bool WavSink::Close()
{
    if (!file_) return !failed_;
    bool ok = !failed_ && WriteHeader();
    ok = std::fclose(file_) == 0 && ok;
    file_ = nullptr;
    return ok;
}

WavSource::~WavSource()
{
    if (file_) std::fclose(file_);
}

bool WavSource::Open(const std::string& path, std::string& error)
{
    if (file_) std::fclose(file_);
    file_ = std::fopen(path.c_str(), "rb");
    if (!file_) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    auto fail = [&](const char* why) {
        error = path + ": " + why;
        std::fclose(file_);
        file_ = nullptr;
        return false;
    };
    uint8_t riff[12];
    if (std::fread(riff, 1, 12, file_) != 12 || std::memcmp(riff, "RIFF", 4) != 0 ||
        std::memcmp(riff + 8, "WAVE", 4) != 0)
        return fail("not a WAV file");

    bool haveFormat = false;
    for (;;) {
        uint8_t chunk[8];
        if (std::fread(chunk, 1, 8, file_) != 8) return fail("no data chunk");
        const uint32_t size = Get32(chunk + 4);
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            uint8_t fmt[16];
            if (size < 16 || std::fread(fmt, 1, 16, file_) != 16) return fail("short fmt chunk");
            const uint32_t tag = Get16(fmt);
            format_.channels = uint16_t(Get16(fmt + 2));
            format_.rate = Get32(fmt + 4);
            format_.bits = uint16_t(Get16(fmt + 14));
            if ((tag != kFormatPcm && tag != kFormatExtensible) || format_.channels < 1 ||
                format_.channels > 2 || (format_.bits != 8 && format_.bits != 16) ||
                format_.rate == 0)
                return fail("only 8- or 16-bit PCM, mono or stereo, is supported");
            haveFormat = true;
            // Chunks are padded to an even size.
            if (std::fseek(file_, long(size - 16 + (size & 1)), SEEK_CUR) != 0)
                return fail("truncated fmt chunk");
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat) return fail("data before fmt");
            remaining_ = size - size % format_.BlockAlign();
            raw_.resize(size_t(format_.BlockAlign()) * 1024);
            return true;
        } else if (std::fseek(file_, long(size) + (size & 1), SEEK_CUR) != 0) {
            return fail("truncated chunk");
        }
    }
}

uint32_t WavSource::Read(int16_t* samples, uint32_t frames)
{
    if (!file_) return 0;
    const uint32_t align = format_.BlockAlign();
    uint32_t done = 0;
    while (done < frames && remaining_ > 0) {
        const uint64_t want =
            std::min<uint64_t>({uint64_t(frames - done) * align, raw_.size(), remaining_});
        const size_t got = std::fread(raw_.data(), 1, size_t(want), file_);
        const uint32_t whole = uint32_t(got / align);
        const uint32_t count = whole * format_.channels;
        int16_t* out = samples + size_t(done) * format_.channels;
        for (uint32_t i = 0; i < count; ++i) {
            out[i] = format_.bits == 8 ? Sample8To16(raw_[i]) : int16_t(Get16(&raw_[2 * i]));
        }
        done += whole;
        remaining_ -= got;
        if (got < want) {
            remaining_ = 0; // the file ends before its data chunk says
            break;
        }
    }
    return done;
}

} // namespace tandrel
