#include "waveform_test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "app/waveform/transport_panel.h"
#include "app/waveform/waveform_view.h"
#include "audio/audio_devices.h"
#include "audio/format_converter.h"
#include "engine/transport.h"

namespace tandrel::test {

int32_t TonePeak(int64_t column, int channel)
{
    // A saw of 23 steps on the left and of 17 on the right, never silent.
    const int64_t step = channel == 0 ? column % 23 : 16 - column % 17;
    return int32_t(1000 + step * 1300);
}

int16_t ToneSample(Format format, int64_t frame, int channel)
{
    if (frame == 0 && channel == 0) return -32768;
    const int64_t framesPerColumn = format.rate / 100;
    const int64_t f = frame % framesPerColumn;
    int32_t v = TonePeak(frame / framesPerColumn, channel) * (f % 2 ? -1 : 1);
    if (f % 3 == 2) v /= 2;
    return int16_t(v);
}

Bytes ToneAudio(Format format, int64_t columns)
{
    const int64_t frames = columns * (format.rate / 100);
    Bytes audio;
    audio.reserve(size_t(frames) * format.BlockAlign());
    for (int64_t f = 0; f < frames; ++f)
        for (int ch = 0; ch < format.channels; ++ch) {
            const uint16_t v = uint16_t(ToneSample(format, f, ch));
            audio.push_back(uint8_t(v & 0xFF));
            audio.push_back(uint8_t(v >> 8));
        }
    return audio;
}

bool MakeAudioEdit(const std::string& path, Format format, const Bytes& audio)
{
    // An empty Edit in the format, then the audio and its base step.
    if (!MakeEdit(path, format, 0, 0)) return false;
    EditFile edit;
    uint64_t start = 0, end = 0;
    const bool made = edit.EditOpen(path, false, false) && AppendData(edit, audio, start, end) &&
                      edit.EditPushStep({BaseStep(audio.size())});
    EXPECT_TRUE(made) << "cannot fill " << path;
    edit.EditClose();
    return made;
}

void DisplayShell::RefreshTransport()
{
    if (panel) panel->RefreshTransport();
}

void DisplayShell::RedrawCue()
{
    ++redraws;
    if (view) view->RedrawCue();
    if (panel) panel->UpdatePosition();
}

void DisplayShell::RedrawCueAndOverview() { RedrawCue(); }

void DisplayShell::FlagWaveformsForRefresh()
{
    if (view) view->RequestRefresh();
}

void DisplayShell::ShowMeterReading(int32_t left, int32_t right, bool leftClip, bool rightClip)
{
    if (panel) panel->ShowMeterReading(left, right, leftClip, rightClip);
}

void DisplayShell::ClearMeterDisplays()
{
    if (panel) panel->ClearMeters();
}

StreamFixture::StreamFixture(uint32_t viewSeconds)
{
    setenv("HOME", dir.Path().c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir.Path() / "config").c_str(), 1);
    AudioEngine().audioEnabled = false;
    AudioEngine().recordingFormat = AudioFormat{1, 2, 8000, 32000, 4, 16, 0};
    Transport() = TransportState{};
    InstallAudioShell(&shell);
    stream = std::make_unique<AudioStream>(8, false, false, 0xFFFFFFFF, viewSeconds);
}

StreamFixture::~StreamFixture()
{
    // The displays may be gone already: the stream's last stop tells nobody.
    InstallAudioShell(nullptr);
    stream->Close();
    stream.reset();
    CloseAudioEngine();
    unsetenv("TANDREL_AUDIO");
    Transport() = TransportState{};
    AudioEngine().audioEnabled = true;
}

SoundDevice* StreamFixture::UseFileDevice(Format format, const std::string& out)
{
    setenv("TANDREL_AUDIO", ("file:out=" + out + ",fast").c_str(), 1);
    CloseAudioEngine();
    AudioEngine().audioEnabled = true;
    AudioFormat wave;
    MakeFormat(wave, format.rate, format.bits, format.channels);
    AudioEngine().recordingFormat = AudioEngine().playbackFormat = wave;
    if (InitDirectSound(wave, true) != 0) return nullptr;
    return AudioEngine().playbackDevice.get();
}

bool StreamFixture::OpenTone(Format format, int64_t columns, const std::string& name)
{
    const std::string path = dir.File(name);
    if (!MakeAudioEdit(path, format, ToneAudio(format, columns))) return false;
    return ManagerSetEdit(*stream, path) == 0;
}

int CountInColumn(const QImage& image, int x, int top, int rows, QRgb rgb)
{
    int n = 0;
    for (int y = top; y < top + rows; ++y)
        if ((image.pixel(x, y) & 0xFFFFFF) == (rgb & 0xFFFFFF)) ++n;
    return n;
}

} // namespace tandrel::test
