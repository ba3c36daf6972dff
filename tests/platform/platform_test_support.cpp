#include "platform_test_support.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

namespace tandrel::test {
namespace {

uint32_t Le(const uint8_t* p, int bytes)
{
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = v << 8 | p[i];
    return v;
}
void PutLe(std::vector<uint8_t>& out, uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(uint8_t(v >> (8 * i)));
}

} // namespace

TempFolder::TempFolder()
{
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/platform-audio.XXXXXX";
    if (!mkdtemp(pattern.data())) std::abort();
    path_ = pattern;
}

TempFolder::~TempFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

bool ReadCanonicalWav(const std::string& path, WavContents& wav)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), {});
    if (file.size() < 44) {
        ADD_FAILURE() << path << ": " << file.size() << " bytes, shorter than a WAV header";
        return false;
    }
    const uint8_t* h = file.data();
    const uint32_t dataBytes = Le(h + 40, 4);
    const bool ok = std::memcmp(h, "RIFF", 4) == 0 && Le(h + 4, 4) == file.size() - 8 &&
                    std::memcmp(h + 8, "WAVEfmt ", 8) == 0 && Le(h + 16, 4) == 16 &&
                    Le(h + 20, 2) == 1 && std::memcmp(h + 36, "data", 4) == 0 &&
                    dataBytes == file.size() - 44;
    if (!ok) {
        ADD_FAILURE() << path << ": not a canonical PCM WAV header, or the sizes are wrong";
        return false;
    }
    wav.format.channels = uint16_t(Le(h + 22, 2));
    wav.format.rate = Le(h + 24, 4);
    wav.format.bits = uint16_t(Le(h + 34, 2));
    EXPECT_EQ(Le(h + 28, 4), wav.format.BytesPerSecond()) << path;
    EXPECT_EQ(Le(h + 32, 2), wav.format.BlockAlign()) << path;
    wav.data.assign(file.begin() + 44, file.end());
    return true;
}

void WriteCanonicalWav(const std::string& path, const PcmFormat& format,
                       const std::vector<uint8_t>& data)
{
    std::vector<uint8_t> file = {'R', 'I', 'F', 'F'};
    PutLe(file, uint32_t(36 + data.size()), 4);
    for (char c : std::string("WAVEfmt "))
        file.push_back(uint8_t(c));
    PutLe(file, 16, 4);
    PutLe(file, 1, 2);
    PutLe(file, format.channels, 2);
    PutLe(file, format.rate, 4);
    PutLe(file, format.BytesPerSecond(), 4);
    PutLe(file, format.BlockAlign(), 2);
    PutLe(file, format.bits, 2);
    for (char c : std::string("data"))
        file.push_back(uint8_t(c));
    PutLe(file, uint32_t(data.size()), 4);
    file.insert(file.end(), data.begin(), data.end());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
}

std::vector<uint8_t> Staircase(const PcmFormat& format, uint32_t frames, uint32_t seed)
{
    std::vector<uint8_t> bytes;
    for (uint32_t i = 0; i < frames; ++i) {
        for (uint32_t c = 0; c < format.channels; ++c) {
            if (format.bits == 8) {
                bytes.push_back(uint8_t(seed + i * 3 + c * 100));
            } else {
                const int32_t v = int32_t((seed + i * 37 + c * 5001) % 60000) - 30000;
                PutLe(bytes, uint32_t(uint16_t(int16_t(v))), 2);
            }
        }
    }
    return bytes;
}

std::vector<uint8_t> Constant16(uint16_t channels, uint32_t frames, int16_t value)
{
    std::vector<uint8_t> bytes;
    for (uint32_t i = 0; i < frames * channels; ++i)
        PutLe(bytes, uint16_t(value), 2);
    return bytes;
}

std::vector<int16_t> AsSamples(const std::vector<uint8_t>& bytes)
{
    std::vector<int16_t> samples(bytes.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = int16_t(uint16_t(bytes[2 * i] | bytes[2 * i + 1] << 8));
    return samples;
}

void WriteRing(SoundBuffer& buffer, uint32_t offset, const std::vector<uint8_t>& bytes)
{
    LockedRegions regions;
    ASSERT_EQ(buffer.Lock(offset, uint32_t(bytes.size()), regions), kAudioOk);
    std::memcpy(regions.data[0], bytes.data(), regions.size[0]);
    if (regions.size[1])
        std::memcpy(regions.data[1], bytes.data() + regions.size[0], regions.size[1]);
    ASSERT_EQ(buffer.Unlock(regions), kAudioOk);
}

FileRig::FileRig(uint32_t rate, uint16_t channels, bool withOutput)
{
    FileAudioOptions options;
    options.fast = true;
    if (withOutput) options.outPath = folder.Path("out.wav");
    backend = MakeFileBackend(options);
    EXPECT_EQ(backend->OpenPlayback(DeviceId{}, device), kAudioOk) << backend->LastError();
    if (device) {
        EXPECT_EQ(device->SetOutputFormat(rate, channels), kAudioOk);
    }
}

std::unique_ptr<SoundBuffer> FileRig::Buffer(const PcmFormat& format,
                                             const std::vector<uint8_t>& bytes, bool streaming)
{
    std::unique_ptr<SoundBuffer> buffer;
    EXPECT_EQ(device->CreateBuffer({format, uint32_t(bytes.size()), streaming}, buffer), kAudioOk);
    if (buffer) WriteRing(*buffer, 0, bytes);
    return buffer;
}

WavContents FileRig::Finish()
{
    device.reset();
    WavContents wav;
    ReadCanonicalWav(folder.Path("out.wav"), wav);
    return wav;
}

} // namespace tandrel::test
