#include "audio/default_formats.h"

#include "audio/format_converter.h"

namespace tandrel {

namespace {

constexpr DefaultFormatEntry kEntries[kDefaultFormatCount] = {
    {8000, 1, "8000Hz 16-bit Mono (16KB/sec)"},
    {8000, 2, "8000Hz 16-bit Stereo (32KB/sec)"},
    {11025, 1, "11025Hz 16-bit Mono (22KB/sec)"},
    {11025, 2, "11025Hz 16-bit Stereo (44KB/sec)"},
    {12000, 1, "12000Hz 16-bit Mono (24KB/sec)"},
    {12000, 2, "12000Hz 16-bit Stereo (48KB/sec)"},
    {16000, 1, "16000Hz 16-bit Mono (32KB/sec)"},
    {16000, 2, "16000Hz 16-bit Stereo (64KB/sec)"},
    {22050, 1, "22050Hz 16-bit Mono (44KB/sec)"},
    {22050, 2, "22050Hz 16-bit Stereo (88KB/sec)"},
    {24000, 1, "24000Hz 16-bit Mono (48KB/sec)"},
    {24000, 2, "24000Hz 16-bit Stereo (96KB/sec)"},
    {32000, 1, "32000Hz 16-bit Mono (64KB/sec)"},
    {32000, 2, "32000Hz 16-bit Stereo (128KB/sec)"},
    {44100, 1, "44100Hz 16-bit Mono (86KB/sec)"},
    {44100, 2, "44100Hz 16-bit Stereo (172KB/sec)   [CD Quality]"},
    {48000, 1, "48000Hz 16-bit Mono (94KB/sec)"},
    {48000, 2, "48000Hz 16-bit Stereo (186KB/sec)"},
};

} // namespace

const DefaultFormatEntry& DefaultFormatByNumber(int number)
{
    if (number < 1 || number > kDefaultFormatCount) number = kCdQualityFormat;
    return kEntries[number - 1];
}

AudioFormat DefaultFormatRecord(int number)
{
    const DefaultFormatEntry& entry = DefaultFormatByNumber(number);
    AudioFormat format;
    MakeFormat(format, entry.rate, 16, entry.channels);
    return format;
}

} // namespace tandrel
