// PortAudio against a real PulseAudio server with a null sink (scripts/pulse-server): a
// tone played to the sink comes back from its monitor. Skipped without a server.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <thread>

#include <gtest/gtest.h>

#include "platform/audio/portaudio_device.h"
#include "platform_test_support.h"

namespace tandrel::test {
namespace {

bool PulseServerAnswers(std::string& why)
{
    const char* server = std::getenv("PULSE_SERVER");
    if (!server || !*server) {
        why = "PULSE_SERVER is not set; scripts/pulse-server start runs a private server";
        return false;
    }
    const std::string text = server;
    if (!text.starts_with("unix:")) return true; // let PortAudio find out
    const std::string path = text.substr(5);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof(address.sun_path)) {
        why = "PULSE_SERVER path is too long";
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    const bool ok =
        fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    if (fd >= 0) close(fd);
    if (!ok) why = "no PulseAudio server answers at " + text;
    return ok;
}

#define SKIP_WITHOUT_PULSE_SERVER()                                                                \
    do {                                                                                           \
        std::string why;                                                                           \
        if (!PulseServerAnswers(why)) GTEST_SKIP() << why;                                         \
    } while (0)

std::unique_ptr<AudioBackend> OpenPortAudio()
{
    std::string why;
    auto backend = MakePortAudioBackend(why);
    EXPECT_NE(backend, nullptr) << why;
    if (backend) {
        EXPECT_FALSE(backend->PlaybackDevices().empty()) << why;
    }
    return backend;
}

TEST(PortAudio, ListsTheServerDevicesWithStableIdentities)
{
    SKIP_WITHOUT_PULSE_SERVER();
    auto backend = OpenPortAudio();
    ASSERT_NE(backend, nullptr);
    const auto playback = backend->PlaybackDevices();
    const auto capture = backend->CaptureDevices();
    ASSERT_FALSE(playback.empty());
    ASSERT_FALSE(capture.empty());
    const auto again = backend->PlaybackDevices();
    ASSERT_EQ(again.size(), playback.size());
    bool defaultListed = false;
    for (size_t i = 0; i < playback.size(); ++i) {
        EXPECT_EQ(again[i].id, playback[i].id) << playback[i].description;
        for (size_t j = 0; j < i; ++j)
            EXPECT_NE(playback[j].id, playback[i].id);
        defaultListed = defaultListed || playback[i].id == backend->DefaultPlaybackDevice();
    }
    EXPECT_TRUE(defaultListed);

    std::unique_ptr<SoundDevice> device;
    ASSERT_EQ(backend->OpenPlayback(playback.back().id, device), kAudioOk) << backend->LastError();
    EXPECT_EQ(device->Description(), playback.back().description);
    EXPECT_EQ(device->SetOutputFormat(48000, 1), kAudioOk) << device->LastError();
    EXPECT_EQ(device->OutputFormat(), (PcmFormat{48000, 16, 1}));
    EXPECT_GE(device->OutputLatency(), 0.020) << "the pulse plug-in needs at least 20 ms";
    std::unique_ptr<SoundDevice> missing;
    EXPECT_EQ(backend->OpenPlayback(MakeDeviceId("ALSA", "no such device"), missing),
              kAudioNoDevice);
}

TEST(PortAudio, ADeviceThatCannotTakeAFormatKeepsPlayingItsOwn)
{
    // A device of one format with no sound server behind it: the a52 plug-in takes 44.1 kHz
    // stereo only, and encodes into ALSA's null device.
    TempFolder folder;
    const std::string config = folder.Path("asound.conf");
    {
        std::FILE* file = std::fopen(config.c_str(), "w");
        ASSERT_NE(file, nullptr);
        std::fputs("pcm.fixedformat { type a52 slavepcm \"null\" rate 44100 channels 2 }\n", file);
        std::fclose(file);
    }
    setenv("ALSA_CONFIG_PATH", ("/usr/share/alsa/alsa.conf:" + config).c_str(), 1);
    std::string why;
    auto backend = MakePortAudioBackend(why);
    ASSERT_NE(backend, nullptr) << why;
    DeviceId fixed{};
    for (const AudioDeviceInfo& info : backend->PlaybackDevices())
        if (info.description == "fixedformat") fixed = info.id;
    std::unique_ptr<SoundDevice> device;
    if (!IsDefaultDeviceId(fixed)) {
        ASSERT_EQ(backend->OpenPlayback(fixed, device), kAudioOk) << backend->LastError();
        EXPECT_EQ(device->SetOutputFormat(48000, 2), kAudioOk) << device->LastError();
        EXPECT_EQ(device->OutputFormat(), (PcmFormat{44100, 16, 2}));
        device.reset();
    }
    backend.reset();
    unsetenv("ALSA_CONFIG_PATH");
    if (IsDefaultDeviceId(fixed)) GTEST_SKIP() << "ALSA's a52 plug-in is not installed";
}

TEST(PortAudio, ToneThroughTheNullSinkComesBackFromItsMonitor)
{
    SKIP_WITHOUT_PULSE_SERVER();
    auto backend = OpenPortAudio();
    ASSERT_NE(backend, nullptr);
    std::unique_ptr<SoundDevice> speakers;
    std::unique_ptr<CaptureDevice> microphone;
    ASSERT_EQ(backend->OpenPlayback(DeviceId{}, speakers), kAudioOk) << backend->LastError();
    ASSERT_EQ(backend->OpenCapture(DeviceId{}, microphone), kAudioOk) << backend->LastError();

    // One second of a 1 kHz tone at half scale: exactly 1000 periods, so the loop is seamless.
    constexpr uint32_t kRate = 44100;
    constexpr double kAmplitude = 16384;
    const PcmFormat format{kRate, 16, 2};
    std::vector<uint8_t> tone;
    for (uint32_t i = 0; i < kRate; ++i) {
        const auto v =
            int16_t(std::lround(kAmplitude * std::sin(2 * std::numbers::pi * 1000 * i / kRate)));
        for (int c = 0; c < 2; ++c) {
            tone.push_back(uint8_t(v));
            tone.push_back(uint8_t(uint16_t(v) >> 8));
        }
    }
    std::unique_ptr<SoundBuffer> player;
    ASSERT_EQ(speakers->CreateBuffer({format, uint32_t(tone.size()), false}, player), kAudioOk);
    WriteRing(*player, 0, tone);

    std::unique_ptr<CaptureBuffer> ring;
    ASSERT_EQ(microphone->CreateCaptureBuffer(format, 2 * format.BytesPerSecond(), ring), kAudioOk)
        << microphone->LastError();
    ASSERT_EQ(ring->Start(true), kAudioOk) << microphone->LastError();

    // Drain the capture ring the way the recorder does, polling its read cursor.
    std::vector<uint8_t> captured;
    uint32_t readOffset = 0;
    auto drain = [&] {
        uint32_t read = 0;
        ring->GetCurrentPosition(nullptr, &read);
        const uint32_t n = (read + ring->Bytes() - readOffset) % ring->Bytes();
        if (n == 0) return;
        LockedRegions regions;
        ASSERT_EQ(ring->Lock(readOffset, n, regions), kAudioOk);
        captured.insert(captured.end(), regions.data[0], regions.data[0] + regions.size[0]);
        captured.insert(captured.end(), regions.data[1], regions.data[1] + regions.size[1]);
        ring->Unlock(regions);
        readOffset = read;
    };
    const auto start = std::chrono::steady_clock::now();
    bool playing = false;
    while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(1800)) {
        if (!playing && std::chrono::steady_clock::now() - start > std::chrono::milliseconds(200)) {
            ASSERT_EQ(player->Play(true), kAudioOk);
            playing = true;
        }
        drain();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    player->Stop();
    ring->Stop();
    drain();

    // The left channel, from a tenth of a second after the tone arrived, for one second.
    const std::vector<int16_t> samples = AsSamples(captured);
    std::vector<double> left;
    for (size_t i = 0; i < samples.size(); i += 2)
        left.push_back(samples[i]);
    const auto onset =
        std::find_if(left.begin(), left.end(), [](double v) { return std::abs(v) > 8000; });
    ASSERT_NE(onset, left.end()) << "no tone came back in " << left.size() << " frames";
    const size_t from = size_t(onset - left.begin()) + kRate / 10;
    ASSERT_GE(left.size(), from + kRate) << "less than a second of tone was captured";
    const std::vector<double> x(left.begin() + long(from), left.begin() + long(from + kRate));

    double energy = 0;
    for (double v : x)
        energy += v * v;
    const double rms = std::sqrt(energy / x.size());
    EXPECT_NEAR(20 * std::log10(rms / (kAmplitude / std::sqrt(2.0))), 0.0, 1.0)
        << "level, rms " << rms;

    // Goertzel at 1 kHz: nearly all of the energy must be the tone.
    const double w = 2 * std::numbers::pi * 1000 / kRate;
    double s1 = 0, s2 = 0;
    for (double v : x) {
        const double s0 = v + 2 * std::cos(w) * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    const double tonePower = (s1 * s1 + s2 * s2 - 2 * std::cos(w) * s1 * s2) * 2 / x.size();
    EXPECT_GT(tonePower / energy, 0.98) << "energy outside 1 kHz";

    // Rising zero crossings, placed between samples: 1000 of them, each period 44.1 samples.
    // A dropout or a phase jump shows as a period far from that.
    std::vector<double> crossings;
    for (size_t i = 1; i < x.size(); ++i)
        if (x[i - 1] < 0 && x[i] >= 0)
            crossings.push_back(double(i - 1) + x[i - 1] / (x[i - 1] - x[i]));
    EXPECT_NEAR(double(crossings.size()), 1000.0, 2.0) << "frequency";
    int badPeriods = 0;
    for (size_t i = 1; i < crossings.size(); ++i)
        if (std::abs(crossings[i] - crossings[i - 1] - 44.1) > 1.0) ++badPeriods;
    EXPECT_EQ(badPeriods, 0) << "periods broken by dropouts or jumps";
    size_t longestQuiet = 0, quiet = 0;
    for (double v : x) {
        quiet = std::abs(v) < 64 ? quiet + 1 : 0;
        longestQuiet = std::max(longestQuiet, quiet);
    }
    EXPECT_LE(longestQuiet, 3u) << "a run of silence inside the tone";
    EXPECT_EQ(microphone->Overruns(), 0u);
    EXPECT_EQ(speakers->Underruns(), 0u);
}

} // namespace
} // namespace tandrel::test
