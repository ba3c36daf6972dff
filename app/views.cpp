#include "app/views.h"

#include "app/main_window.h"
#include "app/studio.h"

#ifdef TANDREL_HAVE_WAVEFORM
#include <QKeyEvent>

#include "app/waveform/key_commands.h"
#include "app/waveform/keyboard_window.h"
#include "app/waveform/transport_panel.h"
#include "app/waveform/waveform_view.h"
#include "recording/recorder.h"
#endif

namespace tandrel::app {

#ifdef TANDREL_HAVE_WAVEFORM

namespace {

// The display half of the audio shell, shown by the waveform view and the transport panel.
class WidgetDisplays : public AudioShell
{
public:
    WidgetDisplays(waveform::WaveformView& view, waveform::TransportPanel& panel)
        : view_(view), panel_(panel)
    {
    }
    void RefreshTransport() override
    {
        panel_.RefreshTransport();
        view_.RefreshStatus();
    }
    void RedrawCue() override
    {
        view_.RedrawCue();
        panel_.UpdatePosition();
    }
    void RedrawCueAndOverview() override { RedrawCue(); }
    void FlagWaveformsForRefresh() override { view_.RequestRefresh(); }
    void EditChanged() override
    {
        view_.RequestRefresh();
        panel_.RefreshTransport();
    }
    void ShowMeterReading(int32_t left, int32_t right, bool leftClip, bool rightClip) override
    {
        panel_.ShowMeterReading(left, right, leftClip, rightClip);
    }
    void ClearMeterDisplays() override { panel_.ClearMeters(); }
    bool MetersOn() const override { return true; }

private:
    waveform::WaveformView& view_;
    waveform::TransportPanel& panel_;
};

// Lives as long as the window: the key handler and the display adapter.
class ViewLinks : public QObject
{
public:
    ViewLinks(QObject* owner, waveform::WaveformView& view, waveform::TransportPanel& panel,
              waveform::KeyHooks hooks)
        : QObject(owner), keys(&view, &panel, std::move(hooks)), displays(view, panel)
    {
    }
    waveform::KeyCommands keys;
    WidgetDisplays displays;
};

} // namespace

void AttachViews(MainWindow& window, Studio& studio)
{
    auto* view = new waveform::WaveformView;
    auto* panel = new waveform::TransportPanel;
    view->setObjectName("waveform");
    panel->setObjectName("transport");
    view->SetStream(studio.Stream());
    panel->SetStream(studio.Stream());
    window.SetViews(view, panel);

    waveform::KeyHooks hooks;
    hooks.command = [&window](int command) { window.DoCommand(command); };
    hooks.editor = [&studio] { return studio.CurrentEditor(); };
    // Esc abandons an insert recording; Ctrl+Space pauses or resumes a recording.
    hooks.pauseRecording = [&studio] {
        AudioStream* stream = studio.Stream();
        if (stream && stream->recording) SetRecordingPaused(!stream->recordPaused);
    };
    auto* links = new ViewLinks(&window, *view, *panel, std::move(hooks));
    studio.displays = &links->displays;
    QObject::connect(links, &QObject::destroyed, [&studio] { studio.displays = nullptr; });

    window.keyHandler = [links](QKeyEvent* event, bool down) {
        return links->keys.HandleKey(event, down);
    };
    window.deactivated = [links] { links->keys.ReleaseAll(); };
    window.showKeyboardCommands = [&window] { waveform::ShowKeyboardCommands(&window); };
    view->setFocus();
}

#else

void AttachViews(MainWindow&, Studio&)
{
    // The window keeps its placeholders until the waveform library is built in.
}

#endif

} // namespace tandrel::app
