#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/audio/file_device.h"
#include "platform/audio/sound_device.h"

namespace tandrel::test {

/** A fresh folder under TMPDIR, removed with everything in it. */
class TempFolder
{
  public:
    TempFolder();
    ~TempFolder();
    std::string Path(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

/** A WAV file as the test reads it: the canonical 44-byte header, field by field. */
struct WavContents
{
    PcmFormat format;
    std::vector<uint8_t> data;
};
/** False (with a gtest failure naming the field) when the file is not a canonical PCM WAV. */
bool ReadCanonicalWav(const std::string& path, WavContents& wav);
void WriteCanonicalWav(const std::string& path, const PcmFormat& format,
                       const std::vector<uint8_t>& data);

/** Ring content where every sample differs from its neighbours, so a failure names it:
    16-bit samples step by 37 per frame and 5001 per channel (odd, so a stereo pair sums odd); 8-bit
   ones by 3 and 100. */
std::vector<uint8_t> Staircase(const PcmFormat& format, uint32_t frames, uint32_t seed = 0);
/** The same sample value in every sample of `frames` 16-bit frames. */
std::vector<uint8_t> Constant16(uint16_t channels, uint32_t frames, int16_t value);

std::vector<int16_t> AsSamples(const std::vector<uint8_t>& bytes);

/** A fast File device writing `out.wav` in a temporary folder, with helpers to make
    buffers holding given bytes. */
struct FileRig
{
    explicit FileRig(uint32_t rate = 44100, uint16_t channels = 2, bool withOutput = true);
    /** A stopped buffer whose ring holds `bytes` (written through Lock/Unlock). */
    std::unique_ptr<SoundBuffer> Buffer(const PcmFormat& format, const std::vector<uint8_t>& bytes,
                                        bool streaming = false);
    /** Closes the device and reads what it wrote. */
    WavContents Finish();

    TempFolder folder;
    std::unique_ptr<AudioBackend> backend;
    std::unique_ptr<SoundDevice> device;
};

/** Writes `bytes` into the ring at `offset` through Lock/Unlock. */
void WriteRing(SoundBuffer& buffer, uint32_t offset, const std::vector<uint8_t>& bytes);

} // namespace tandrel::test
