#include "app/startup.h"

#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <unistd.h>

#include "app/audio_service.h"
#include "app/dialogs.h"
#include "app/instance_guard.h"
#include "app/main_window.h"
#include "app/program_messages.h"
#include "app/qt_interaction.h"
#include "app/studio.h"
#include "app/transcription/keyboard_hook.h"
#include "app/transcription/transcription_actions.h"
#include "app/transcription/transcription_dialog.h"
#include "app/views.h"
#include "audio/audio_devices.h"
#include "audio/audio_devices_dialog.h"
#include "audio/gain_control.h"
#include "audio/output_mode.h"
#include "engine/transport.h"
#include "base/interaction.h"
#include "platform/system/program_folder.h"
#include "recording/recorder.h"
#include "recording/recorder_shell.h"
#include "recording/recorder_state.h"
#include "settings/setting_defaults.h"
#include "settings/settings_store.h"
#include "settings/settings_upgrade.h"
#include "settings/storage.h"
#include "settings/user.h"
#include "settings/window_placement.h"

namespace tandrel::app {

long long SteadyNowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

namespace {

void PlaceWindow(MainWindow& window)
{
    DesktopRect desk;
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        desk = {area.left(), area.top(), area.right() + 1, area.bottom() + 1};
    } else {
        desk = {0, 0, 1024, 768};
    }
    // The placement is kept as the window's inner rectangle, the way it is restored.
    WindowPlacement placement;
    LoadWindowPlacement(placement, desk, WindowMetrics{});
    window.setGeometry(placement.x, placement.y, std::max(placement.width, kMainWindowMinWidth),
                       std::max(placement.height, kMainWindowMinHeight));
    if (placement.maximised) window.setWindowState(Qt::WindowMaximized);
}

// What the recorder asks of the window: displays, the title, and the stop request of a
// reached limit, which goes through the window's queue so the recording stops from the loop.
class WindowRecorderShell : public RecorderShell
{
public:
    WindowRecorderShell(Studio& studio, MainWindow& window) : studio_(studio), window_(window) {}
    void ResetInputTracker() override { studio_.FlagWaveformsForRefresh(); }
    void RefreshDisplays(bool) override { studio_.RefreshDisplays(); }
    void UpdateTitle() override { window_.ShowActiveEdit(); }
    void PostStopRecording() override { window_.PostProgramMessage(kMsgStopRecordingAtLimit); }
    // The drain runs in the audio service's timer, which a box opened there would hold up:
    // the box opens from the loop, where the service goes on under it.
    void ShowCaptureGap(const std::string& text) override
    {
        QMetaObject::invokeMethod(
            &window_, [text] { MessageDialog(kCaptureGapTitle, text); }, Qt::QueuedConnection);
    }

private:
    Studio& studio_;
    MainWindow& window_;
};

// The main stream's render window covers the widest screen (10 ms a column) and the
// playback ring's lead, so the waveform always finds its audio in it.
uint32_t MainStreamViewSeconds()
{
    int widest = 0;
    for (QScreen* screen : QGuiApplication::screens()) widest = std::max(widest, screen->geometry().width());
    return uint32_t(std::max(widest, 1920) / 100 + 4);
}

// The storage folder: without it nothing can be recorded or opened, so the person is
// asked for another one until it works.
void SetUpStorage(QWidget* window)
{
    if (SetUpFileStorage()) return;
    MessageDialog("Access Error",
                  "Unable to create file storage. Read/Write permission is denied in folder: " +
                      StorageFolder());
    RunFileLocationsDialog(window);
}

} // namespace

Program::Program(Options options) : options_(options), hook_(std::make_unique<KeyboardHook>()) {}

Program::~Program()
{
    Shutdown();
}

Program::Started Program::Start()
{
    // One copy per user: a second start brings the first to the front and leaves.
    if (InstanceGuard::ActivateRunningCopy()) return Started::OtherCopyActivated;
    guard_ = std::make_unique<InstanceGuard>();
    if (!guard_->Listen()) {
        // Another copy began to listen in the meantime.
        InstanceGuard::ActivateRunningCopy();
        return Started::OtherCopyActivated;
    }
    if (options_.qtSinks) {
        sink_ = std::make_unique<QtInteractionSink>();
        progress_ = std::make_unique<QtProgressViews>();
    }
    InstallAudioDevicesWindow();

    QDir::setCurrent(QCoreApplication::applicationDirPath());
    UpgradeSettings();
    LoadDefaultFormat();

    studio_ = std::make_unique<Studio>();
    studio_->UseRecorder(std::make_unique<LibraryRecorder>());
    window_ = std::make_unique<MainWindow>(*studio_);
    recorderShell_ = std::make_unique<WindowRecorderShell>(*studio_, *window_);
    InstallRecorderShell(recorderShell_.get());
    PlaceWindow(*window_);

    Studio& studio = *studio_;
    AudioDeviceHooks hooks;
    hooks.setMainTargetFrequency = [&studio](uint32_t hz) {
        if (AudioStream* stream = studio.Stream()) stream->SetTargetFrequency(hz);
    };
    hooks.editIsOpen = [&studio] { return studio.HasEdit(); };
    SetAudioDeviceHooks(hooks);
    StartAudioDevices();

    AgcLoadSettings();
    const AudioFormat& format = AudioEngine().recordingFormat;
    AgcInit(format.sampleRate, format.channels, format.bitsPerSample);
    studio.StartAudio(MainStreamViewSeconds());
    LoadOutputMode();

    SetUpStorage(window_.get());
    AttachViews(*window_, studio);

    MainWindow* window = window_.get();
    guard_->activate = [window] { RaiseProgramWindow(window); };
    guard_->request = [this](const ProgramRequest& request) {
        // Importing is not built in yet: a well-formed import request is kept for it and the
        // sender told so. SAM hand-overs are refused until SAM import exists. Transcription
        // actions are carried out at once.
        bool done = false;
        const bool kept = DispatchProgramRequest(
            request, [this](const ImportRequest& import) { pendingImports_.push_back(import); },
            nullptr, [this, &done](TranscriptionAction action) {
                CarryOutTranscription(*window_, *studio_, action);
                done = true;
            });
        return !kept ? kAnswerRefused : done ? kAnswerTaken : kAnswerQueued;
    };

    // The optional transcription keyboard hook, offered in the Settings menu when present.
    if (hook_->Load(options_.xtrasFolder.empty() ? XtrasFolder() : options_.xtrasFolder)) {
        window_->AddTranscriptionItem();
        window_->showTranscription = [this] { RunTranscriptionDialog(window_.get(), *hook_); };
    }

    window_->show();
    service_ = std::make_unique<AudioService>(studio);
    service_->Start();
    running_ = true;
    QTimer::singleShot(0, window_.get(), [this] { FirstPass(); });
    return Started::Running;
}

// The first turn of the loop: the user's preferences, recordings a crash left behind, and
// the Edit open when the program last closed.
void Program::FirstPass()
{
    if (firstPassDone_ || !running_) return;
    firstPassDone_ = true;
    Studio& studio = *studio_;
    ApplyActiveUser();
    LoadRecorderSettings();
    LoadOutputMode();
    LoadScrubSettings();
    AgcLoadSettings();
    const AudioFormat& format = AudioEngine().recordingFormat;
    AgcInit(format.sampleRate, format.channels, format.bitsPerSample);
    // Recovery first: an insert recording cut short lives in an Edit that may well be the
    // last one open, and the editor would hold it locked against the recovery.
    studio.Recorder().RecoverInterrupted();
    std::string last;
    if (ReadSettingText(kSettingTwoAttempts, kProductKey, "LastOpenFile", last, kSettingPathSize) &&
        last.size() > 1 && ::access(last.c_str(), F_OK) == 0) {
        int error = 0;
        studio.OpenInEditor(last, error);
    }
    window_->ShowActiveEdit();
    studio.RefreshDisplays();
}

void Program::Shutdown()
{
    if (!running_) return;
    running_ = false;
    // No more transcription keys while the program goes down.
    hook_->Unload();
    window_->hide();
    service_->Stop();
    Studio& studio = *studio_;
    // A recording under way is saved, not left for the next start to recover.
    if (studio.Recorder().Recording()) studio.Recorder().StopAtLimit();
    if (AudioStream* stream = studio.Stream()) {
        stream->Stop(false);
        DisarmRecording(*stream);
    }
    WriteSettingText(kSettingTwoAttempts, kProductKey, "LastOpenFile", studio.ActivePath().c_str());
    studio.StopAudio();
    CloseAudioEngine();
    SetAudioDeviceHooks({});
    SetAudioDevicesPresenter({});
    service_.reset();
    InstallRecorderShell(nullptr);
    recorderShell_.reset();
    window_.reset();
    studio_.reset();
    progress_.reset();
    sink_.reset();
    guard_.reset();
}

int RunTandrel(QApplication& application, long long startedMs)
{
    application.setApplicationName("Tandrel");
    application.setOrganizationName("Halvern");
    Program::Options options;
    options.startedMs = startedMs;
    Program program(options);
    if (program.Start() == Program::Started::OtherCopyActivated) return 0;

    if (!qEnvironmentVariableIsEmpty("TANDREL_EXIT_WHEN_SHOWN")) {
        // After the first pass, once the window has been painted.
        QTimer::singleShot(0, &program.Window(), [&] {
            program.FirstPass();
            program.Window().repaint();
            const std::string open = program.GetStudio().ActivePath();
            std::printf("tandrel: window shown after %lld ms%s%s\n", SteadyNowMs() - startedMs,
                        open.empty() ? "" : ", open: ", open.c_str());
            std::fflush(stdout);
            application.exit(0);
        });
    }
    const int code = application.exec();
    program.Shutdown();
    return code;
}

} // namespace tandrel::app
