#include "convert/wav_writer.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

#include "base/byte_order.h"

namespace tandrel {

namespace {
constexpr uint64_t kMaxWavData = 0xFFFFFFFFull - 36;
}

void EncodeWavHeader(const AudioFormat& format, uint32_t dataBytes, uint8_t out[44])
{
    std::memcpy(out, "RIFF", 4);
    PutU32(out + 4, 36 + dataBytes + (dataBytes & 1)); // the data chunk is padded to even size
    std::memcpy(out + 8, "WAVE", 4);
    std::memcpy(out + 12, "fmt ", 4);
    PutU32(out + 16, 16);
    PutU16(out + 20, 1);
    PutU16(out + 22, format.channels);
    PutU32(out + 24, format.sampleRate);
    PutU32(out + 28, format.avgBytesPerSec);
    PutU16(out + 32, format.blockAlign);
    PutU16(out + 34, format.bitsPerSample);
    std::memcpy(out + 36, "data", 4);
    PutU32(out + 40, dataBytes);
}

WavWriter::~WavWriter()
{
    if (file_) std::fclose(file_);
}

bool WavWriter::Open(const std::string& path, const AudioFormat& format)
{
    if (file_) std::fclose(file_);
    dataBytes_ = 0;
    failed_ = false;
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) return false;
    uint8_t header[44];
    EncodeWavHeader(format, 0, header);
    if (std::fwrite(header, 1, 44, file_) != 44) failed_ = true;
    // The header is rewritten at the end with the sizes; keep the format for it.
    format_ = format;
    return !failed_;
}

bool WavWriter::Write(const void* bytes, uint64_t count)
{
    if (!file_ || failed_) return false;
    if (dataBytes_ + count > kMaxWavData) {
        errno = EFBIG;
        failed_ = true;
        return false;
    }
    if (std::fwrite(bytes, 1, count, file_) != count) {
        failed_ = true;
        return false;
    }
    dataBytes_ += count;
    return true;
}

bool WavWriter::Close()
{
    if (!file_) return false;
    bool ok = !failed_;
    if (ok && (dataBytes_ & 1)) ok = std::fputc(0, file_) != EOF; // chunks are padded to even size
    uint8_t header[44];
    EncodeWavHeader(format_, uint32_t(dataBytes_), header);
    ok = ok && std::fseek(file_, 0, SEEK_SET) == 0 && std::fwrite(header, 1, 44, file_) == 44;
    ok = std::fflush(file_) == 0 && ok;
    ok = ::fsync(fileno(file_)) == 0 && ok;
    ok = std::fclose(file_) == 0 && ok;
    file_ = nullptr;
    return ok;
}

} // namespace tandrel
