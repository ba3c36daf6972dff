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
#include "app/qt_interaction.h"
#include "app/studio.h"
#include "app/views.h"
#include "audio/audio_devices.h"
#include "audio/gain_control.h"
#include "audio/output_mode.h"
#include "audio/transport.h"
#include "base/interaction.h"
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

// The first turn of the loop: the user's preferences, the Edit open when the program last
// closed, and recordings a crash left behind.
void FirstPass(Studio& studio, MainWindow& window)
{
    const ActiveUser user = ApplyActiveUser();
    studio.Recorder().SetMonoMix(user.monoMixRecording);
    LoadOutputMode();
    LoadScrubSettings();
    AgcLoadSettings();
    const AudioFormat& format = AudioEngine().recordingFormat;
    AgcInit(format.sampleRate, format.channels, format.bitsPerSample);
    std::string last;
    if (ReadSettingText(kSettingTwoAttempts, kProductKey, "LastOpenFile", last, kSettingPathSize) &&
        last.size() > 1 && ::access(last.c_str(), F_OK) == 0) {
        int error = 0;
        studio.OpenInEditor(last, error);
    }
    studio.Recorder().RecoverInterrupted();
    window.ShowActiveEdit();
    studio.RefreshDisplays();
}

void Shutdown(Studio& studio, AudioService& service)
{
    service.Stop();
    if (AudioStream* stream = studio.Stream()) {
        stream->Stop(false);
        DisarmRecording(*stream);
    }
    WriteSettingText(kSettingTwoAttempts, kProductKey, "LastOpenFile", studio.ActivePath().c_str());
    studio.StopAudio();
    CloseAudioEngine();
}

} // namespace

int RunTandrel(QApplication& application, long long startedMs)
{
    application.setApplicationName("Tandrel");
    application.setOrganizationName("Halvern");
    // One copy per user: a second start brings the first to the front and leaves.
    if (InstanceGuard::ActivateRunningCopy()) return 0;
    InstanceGuard guard;
    if (!guard.Listen()) return InstanceGuard::ActivateRunningCopy() ? 0 : 0;

    QtInteractionSink sink;
    QtProgressViews progress;
    InstallAudioDevicesWindow();

    QDir::setCurrent(QCoreApplication::applicationDirPath());
    UpgradeSettings();
    LoadDefaultFormat();

    Studio studio;
    MainWindow window(studio);
    PlaceWindow(window);

    AudioDeviceHooks hooks;
    hooks.setMainTargetFrequency = [&studio](uint32_t hz) {
        if (AudioStream* stream = studio.Stream()) stream->SetTargetFrequency(hz);
    };
    hooks.initGainControl = [](const AudioFormat& format) {
        AgcInit(format.sampleRate, format.channels, format.bitsPerSample);
    };
    hooks.editIsOpen = [&studio] { return studio.HasEdit(); };
    SetAudioDeviceHooks(hooks);
    StartAudioDevices();

    AgcLoadSettings();
    const AudioFormat& format = AudioEngine().recordingFormat;
    AgcInit(format.sampleRate, format.channels, format.bitsPerSample);
    studio.StartAudio();
    LoadOutputMode();

    SetUpStorage(&window);
    AttachViews(window, studio);

    guard.activate = [&window] { RaiseProgramWindow(&window); };
    guard.request = [](const ProgramRequest& request) {
        // Importing and SAM hand-overs are carried out by their own parts once built in;
        // until then the requests are taken and let go.
        DispatchProgramRequest(request, nullptr, nullptr);
    };

    window.show();
    AudioService service(studio);
    service.Start();

    const bool exitWhenShown = !qEnvironmentVariableIsEmpty("TANDREL_EXIT_WHEN_SHOWN");
    QTimer::singleShot(0, &window, [&] {
        FirstPass(studio, window);
        if (exitWhenShown) {
            // Once the first pass has painted the window.
            QTimer::singleShot(0, &window, [&] {
                window.repaint();
                std::printf("tandrel: window shown after %lld ms\n", SteadyNowMs() - startedMs);
                std::fflush(stdout);
                application.exit(0);
            });
        }
    });

    const int code = application.exec();
    window.hide();
    Shutdown(studio, service);
    SetAudioDeviceHooks({});
    return code;
}

} // namespace tandrel::app
