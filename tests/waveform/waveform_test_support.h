#pragma once
// Helpers of the waveform tests: Edits whose every 10 ms column has a known peak, and a main
// stream over one of them with the settings kept in a scratch folder.
#include <QImage>
#include <cstdint>
#include <memory>
#include <string>

#include "audio/audio_shell.h"
#include "engine/audio_stream.h"
#include "platform/audio/sound_device.h"
#include "edit_test_support.h"

namespace tandrel::waveform {
class WaveformView;
class TransportPanel;
}

namespace tandrel::test {

/** The peak of channel `channel` in normal column `column` of a tone Edit: never zero,
    and different from its neighbours. */
int32_t TonePeak(int64_t column, int channel);
/** Bytes of a tone Edit of `columns` normal columns in `format` (16-bit): each column holds
    +peak and -peak samples, the first frame of column c on channel 0 is +TonePeak(c, 0). The
    very first sample is -32768 so that full scale is covered. */
Bytes ToneAudio(Format format, int64_t columns);
/** Sample `channel` of frame `frame` of a tone Edit in `format`. */
int16_t ToneSample(Format format, int64_t frame, int channel);
/** Makes an Edit holding `audio` as its base step. */
bool MakeAudioEdit(const std::string& path, Format format, const Bytes& audio);

/** Forwards what the streams ask of the displays to a waveform view and a transport panel,
    as the program's shell does. */
struct DisplayShell : AudioShell
{
    waveform::WaveformView* view = nullptr;
    waveform::TransportPanel* panel = nullptr;
    bool meters = false;
    int redraws = 0;
    void RefreshTransport() override;
    void RedrawCue() override;
    void RedrawCueAndOverview() override;
    void FlagWaveformsForRefresh() override;
    void ShowMeterReading(int32_t left, int32_t right, bool leftClip, bool rightClip) override;
    void ClearMeterDisplays() override;
    bool MetersOn() const override { return meters; }
};

/** A scratch folder as HOME and XDG_CONFIG_HOME, audio off, and a main stream with a view
    window of `viewSeconds`. */
class StreamFixture
{
public:
    explicit StreamFixture(uint32_t viewSeconds = 12);
    ~StreamFixture();
    /** Opens a tone Edit of `columns` columns in `format` in the main stream. */
    bool OpenTone(Format format, int64_t columns, const std::string& name = "tone.kdw");
    EditView& View() { return *stream->reader; }
    /** Plays through the File device in its fast mode, writing `out`, in `format`; null
        when the device did not open. The audio is switched off again at the end. */
    SoundDevice* UseFileDevice(Format format, const std::string& out);

    TempDir dir;
    std::unique_ptr<AudioStream> stream;
    DisplayShell shell;
};

/** Pixels of `image` in column `x` from row `top` for `rows` rows that have colour `rgb`. */
int CountInColumn(const QImage& image, int x, int top, int rows, QRgb rgb);

} // namespace tandrel::test
