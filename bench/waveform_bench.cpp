// The waveform area while an Edit plays.
//
// BM_PaintStep: one paint of an 800 × 300 stereo waveform after the cue moved on by one
// 10 ms column, as steady playback paints it (the off-screen image scrolls, one column is
// drawn, the image goes to the window, the cue line over it). Counter: columns drawn per
// paint (1 when the scroll is incremental). BM_PaintFull: the same paint redrawing every
// column, for comparison. BM_PaintZoomed: a paint of the zoomed view (four frames a column),
// which is always drawn whole.
//
// BM_PlayingUiThread: the program's loop for real: a 44.1 kHz stereo Edit plays through the
// Null device (a clock-driven device that consumes the mix in real time), ServiceAudio runs
// from a 1 ms precise timer, and every cue move reaches the waveform view and the transport
// panel as the program's shell forwards it. Counters: CPU of the UI thread as a share of one
// core ("ui_core_%", goal under 10), paints per second, columns drawn per paint.
//
// Widgets run on Qt's offscreen platform; its window surface is a plain image, so what a
// window system does with the finished frame is not in these figures.
#include <time.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "app/waveform/transport_panel.h"
#include "app/waveform/waveform_view.h"
#include "audio/audio_devices.h"
#include "audio/audio_shell.h"
#include "engine/audio_stream.h"
#include "audio/format_converter.h"
#include "engine/service_loop.h"
#include "engine/transport.h"
#include "bench/temp_folder.h"
#include "edit/edit_file.h"

namespace tandrel {
namespace {

using waveform::TransportPanel;
using waveform::WaveformView;

constexpr uint32_t kRate = 44100;
constexpr uint32_t kColumnBytes = kRate * 4 / 100;
constexpr int kWidth = 800;
constexpr int kHeight = 300;

// Appends `seconds` of a speech-like signal (bursts of a tone under a slow envelope) to a new
// stereo Edit and pushes the base step over it.
bool WriteTalkEdit(const std::string& path, uint32_t seconds)
{
    EditFile edit;
    edit.channels = 2;
    edit.sampleRate = kRate;
    edit.bitsPerSample = 16;
    if (!edit.EditOpen(path, true, false) || edit.EditBeginData() != 0) return false;
    std::vector<int16_t> block(size_t(kRate) * 2);
    for (uint32_t s = 0; s < seconds; ++s) {
        for (uint32_t f = 0; f < kRate; ++f) {
            const uint32_t t = s * kRate + f;
            const int envelope = int((t / 2205) % 17) * 1800;
            const int wave = int(t % 100) - 50;
            block[2 * f] = int16_t(wave * envelope / 50);
            block[2 * f + 1] = int16_t(-wave * envelope / 70);
        }
        uint64_t written = 0;
        if (edit.EditWrite(block.data(), block.size() * 2, written) != 0) return false;
    }
    uint64_t start = 0, end = 0;
    if (edit.EditEndData(start, end) != 0) return false;
    EditRecord base;
    base.type = kStepInsert;
    base.flags = kRecordBaseStep;
    base.segment.dataStart = start;
    base.segment.dataEnd = end;
    const bool pushed = edit.EditPushStep({base});
    edit.EditClose();
    return pushed;
}

// An Edit playing in the main stream, shown by a waveform view and a transport panel.
struct Studio : AudioShell
{
    bench::TempFolder folder{std::filesystem::temp_directory_path()};
    std::unique_ptr<AudioStream> stream;
    WaveformView view;
    TransportPanel panel;

    void RefreshTransport() override { panel.RefreshTransport(); }
    void RedrawCue() override
    {
        view.RedrawCue();
        panel.UpdatePosition();
    }
    void RedrawCueAndOverview() override { RedrawCue(); }
    void FlagWaveformsForRefresh() override { view.RequestRefresh(); }
    void ShowMeterReading(int32_t l, int32_t r, bool lc, bool rc) override
    {
        panel.ShowMeterReading(l, r, lc, rc);
    }
    void ClearMeterDisplays() override { panel.ClearMeters(); }
    bool MetersOn() const override { return true; }

    bool Open(uint32_t seconds)
    {
        setenv("HOME", folder.Path().c_str(), 1);
        setenv("XDG_CONFIG_HOME", (folder.Path() / "config").c_str(), 1);
        const std::string path = folder.File("talk.kdw");
        if (!folder.Ok() || !WriteTalkEdit(path, seconds)) return false;
        // The window covers the whole area with the playback ring's lead to spare.
        stream = std::make_unique<AudioStream>(kWidth / 100, false, false, 0xFFFFFFFF,
                                               kWidth / 100 + 4);
        if (ManagerSetEdit(*stream, path) != 0) return false;
        InstallAudioShell(this);
        view.SetStream(stream.get());
        panel.SetStream(stream.get());
        view.resize(kWidth, kHeight + WaveformView::kStatusHeight);
        panel.resize(panel.sizeHint());
        view.show();
        panel.show();
        QApplication::processEvents();
        return true;
    }
    ~Studio() override
    {
        InstallAudioShell(nullptr);
        if (stream) stream->Close();
    }
};

double ThreadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

enum class PaintKind { Step, Full, Zoomed };

void PaintSteps(benchmark::State& state, PaintKind kind)
{
    const bool full = kind == PaintKind::Full;
    AudioEngine().audioEnabled = false;
    Studio studio;
    if (!studio.Open(120)) {
        state.SkipWithError("cannot make the Edit");
        return;
    }
    EditView& view = *studio.stream->reader;
    if (kind == PaintKind::Zoomed) view.SetFineStep(true);
    uint64_t cue = 10 * uint64_t(kRate) * 4;
    view.SetCursor(cue, false);
    studio.view.RequestRefresh();
    studio.view.repaint();
    const int before = studio.view.Stats().totalDirty;
    for (auto _ : state) {
        cue += kColumnBytes;
        if (cue + 10 * uint64_t(kRate) * 4 > view.length) {
            state.PauseTiming();
            cue = 10 * uint64_t(kRate) * 4;
            view.SetCursor(cue, false);
            studio.view.RequestRefresh();
            studio.view.repaint();
            state.ResumeTiming();
        }
        view.SetCursor(cue, false);
        if (full) studio.view.RequestRefresh();
        studio.view.RedrawCue();
        studio.view.repaint();
    }
    state.counters["columns_per_paint"] =
        double(studio.view.Stats().totalDirty - before) / double(state.iterations());
}

void BM_PaintStep(benchmark::State& state) { PaintSteps(state, PaintKind::Step); }
void BM_PaintFull(benchmark::State& state) { PaintSteps(state, PaintKind::Full); }
void BM_PaintZoomed(benchmark::State& state) { PaintSteps(state, PaintKind::Zoomed); }

void BM_PlayingUiThread(benchmark::State& state)
{
    setenv("TANDREL_AUDIO", "null", 1);
    CloseAudioEngine();
    AudioEngine().audioEnabled = true;
    AudioFormat format;
    MakeFormat(format, kRate, 16, 2);
    AudioEngine().recordingFormat = AudioEngine().playbackFormat = format;
    if (InitDirectSound(format, true) != 0) {
        state.SkipWithError("the Null device did not open");
        return;
    }
    Studio studio;
    if (!studio.Open(60)) {
        state.SkipWithError("cannot make the Edit");
        return;
    }
    const int seconds = int(state.range(0));
    QTimer service;
    service.setTimerType(Qt::PreciseTimer);
    service.setInterval(1);
    QObject::connect(&service, &QTimer::timeout, [] { ServiceAudio(false); });

    double cpu = 0, wall = 0;
    int paints = 0, columns = 0;
    for (auto _ : state) {
        studio.stream->reader->SetCursor(0, true);
        const int updatesBefore = studio.view.Stats().imageUpdates;
        const int dirtyBefore = studio.view.Stats().totalDirty;
        TransportCommand(*studio.stream, kTransportPlay, false);
        service.start();
        QElapsedTimer clock;
        clock.start();
        const double cpuStart = ThreadCpuSeconds();
        QEventLoop loop;
        QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
        loop.exec();
        cpu += ThreadCpuSeconds() - cpuStart;
        wall += double(clock.nsecsElapsed()) * 1e-9;
        service.stop();
        StopKey(*studio.stream);
        paints += studio.view.Stats().imageUpdates - updatesBefore;
        columns += studio.view.Stats().totalDirty - dirtyBefore;
    }
    state.counters["ui_core_%"] = 100.0 * cpu / wall;
    state.counters["paints_per_s"] = double(paints) / wall;
    state.counters["columns_per_paint"] = paints ? double(columns) / paints : 0.0;
    CloseAudioEngine();
    unsetenv("TANDREL_AUDIO");
}

BENCHMARK(BM_PaintStep)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PaintFull)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PaintZoomed)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlayingUiThread)->Arg(5)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
} // namespace tandrel

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
