#include "audio/audio_devices_dialog.h"

#include <spawn.h>
#include <sys/wait.h>

#include "audio/default_formats.h"
#include "base/interaction.h"
#include "settings/setting_defaults.h"
#include "settings/settings_store.h"

extern char** environ;

namespace tandrel {
namespace {

// The sound control panel of a PulseAudio or PipeWire desktop.
constexpr const char* kSoundSettingsProgram = "pavucontrol";

AudioDevicesPresenter& Presenter()
{
    static AudioDevicesPresenter presenter;
    return presenter;
}

// Starts `program` from PATH without waiting for it; children started earlier that have
// exited since are reaped here so none lingers.
bool SpawnFromPath(const char* program)
{
    static std::vector<pid_t> started;
    std::erase_if(started, [](pid_t pid) { return waitpid(pid, nullptr, WNOHANG) != 0; });
    pid_t pid = 0;
    char* argv[] = {const_cast<char*>(program), nullptr};
    if (posix_spawnp(&pid, program, nullptr, nullptr, argv, environ) != 0) return false;
    started.push_back(pid);
    return true;
}

SoundSettingsLauncher& Launcher()
{
    static SoundSettingsLauncher launcher = SpawnFromPath;
    return launcher;
}

DeviceId IdentityAt(const std::vector<AudioDeviceEntry>& list, int index)
{
    return index >= 0 && size_t(index) < list.size() ? list[index].identity : DeviceId{};
}

// The chosen device's identity; with none chosen (audio off, or nothing opened yet) the one
// saved last, so the dialog shows what OK would bring back.
DeviceId ChoiceOf(const std::vector<AudioDeviceEntry>& list, int index, const char* valueName)
{
    DeviceId id = IdentityAt(list, index);
    if (IsDefaultDeviceId(id)) ParseDeviceId(ReadTextSetting(valueName), id);
    return id;
}

int RowOf(const std::vector<AudioDeviceEntry>& list, const DeviceId& id)
{
    if (IsDefaultDeviceId(id)) return -1;
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i].identity == id) return int(i);
    return -1;
}

std::vector<std::string> Descriptions(const std::vector<AudioDeviceEntry>& list)
{
    std::vector<std::string> texts;
    for (const AudioDeviceEntry& entry : list) texts.push_back(entry.description);
    return texts;
}

} // namespace

AudioDevicesDialog::AudioDevicesDialog(bool fromCheck) : fromCheck_(fromCheck)
{
    AudioEngineState& engine = AudioEngine();
    EnumerateAudioDevices();
    playbackChoice_ = ChoiceOf(engine.playbackDevices, engine.playbackIndex, "DSPlayDevice");
    captureChoice_ = ChoiceOf(engine.captureDevices, engine.captureIndex, "DSCaptureDevice");
    followDefaults_ = engine.followSystemDefaults;
    audioOff_ = !engine.audioEnabled;
    defaultFormat_ = int(ReadNumberSetting("DefaultFormat"));
    initialPlayback_ = IdentityAt(engine.playbackDevices, PlaybackSelection());
    initialCapture_ = IdentityAt(engine.captureDevices, CaptureSelection());
    initialAudioOff_ = audioOff_;
    initialFormat_ = defaultFormat_;
    backend_ = SavedAudioChoice();
    initialBackend_ = AudioChoiceText(backend_);
}

std::vector<std::string> AudioDevicesDialog::PlaybackTexts() const
{
    return Descriptions(AudioEngine().playbackDevices);
}

std::vector<std::string> AudioDevicesDialog::CaptureTexts() const
{
    return Descriptions(AudioEngine().captureDevices);
}

int AudioDevicesDialog::Shown(int chosen, const std::vector<AudioDeviceEntry>& list,
                              const DeviceId& id) const
{
    if (followDefaults_) {
        const int row = RowOf(list, id);
        // A default device that is not listed leaves the person's own choice in place.
        if (row >= 0) return row;
    }
    return chosen;
}

int AudioDevicesDialog::PlaybackSelection() const
{
    const AudioEngineState& engine = AudioEngine();
    return Shown(RowOf(engine.playbackDevices, playbackChoice_), engine.playbackDevices,
                 engine.defaultPlayback);
}

int AudioDevicesDialog::CaptureSelection() const
{
    const AudioEngineState& engine = AudioEngine();
    return Shown(RowOf(engine.captureDevices, captureChoice_), engine.captureDevices,
                 engine.defaultCapture);
}

std::vector<std::string> AudioDevicesDialog::FormatTexts()
{
    std::vector<std::string> texts;
    for (int number = 1; number <= kDefaultFormatCount; ++number)
        texts.push_back(DefaultFormatByNumber(number).text);
    return texts;
}

void AudioDevicesDialog::SelectPlayback(int row)
{
    const std::vector<AudioDeviceEntry>& list = AudioEngine().playbackDevices;
    if (!DeviceListsEnabled() || row < 0 || size_t(row) >= list.size()) return;
    playbackChoice_ = list[row].identity;
}

void AudioDevicesDialog::SelectCapture(int row)
{
    const std::vector<AudioDeviceEntry>& list = AudioEngine().captureDevices;
    if (!DeviceListsEnabled() || row < 0 || size_t(row) >= list.size()) return;
    captureChoice_ = list[row].identity;
}

void AudioDevicesDialog::SetFollowDefaults(bool follow) { followDefaults_ = follow; }

void AudioDevicesDialog::SetAudioOff(bool off)
{
    const bool switchedOn = audioOff_ && !off;
    audioOff_ = off;
    // Devices may have come and gone while audio was off. The choices are identities, so
    // they survive the new lists (a device that went away is simply no longer shown).
    if (switchedOn) RefreshAudioDeviceLists();
}

std::vector<std::string> AudioDevicesDialog::SoundSystemTexts()
{
    return {"Automatic: the sound server or card, else no sound", "No sound (Null device)",
            "Sound server or card", "WAV files (File device)"};
}

void AudioDevicesDialog::SelectSoundSystem(int row)
{
    if (row < 0 || row >= int(SoundSystemTexts().size())) return;
    backend_.kind = AudioChoice::Kind(row);
}

void AudioDevicesDialog::SetSoundFiles(const std::string& inPath, const std::string& outPath)
{
    backend_.file.inPath = inPath;
    backend_.file.outPath = outPath;
}

void AudioDevicesDialog::SelectDefaultFormat(int number)
{
    if (number >= 1 && number <= kDefaultFormatCount) defaultFormat_ = number;
}

bool AudioDevicesDialog::OpenSoundSettings()
{
    if (Launcher() && Launcher()(kSoundSettingsProgram)) return true;
    ReportError("Unable to open %s audio control panel.", kSoundSettingsProgram);
    return false;
}

AudioDevicesChange AudioDevicesDialog::Accept()
{
    AudioEngineState& engine = AudioEngine();
    AudioDevicesChange change;
    const int playback = PlaybackSelection();
    const int capture = CaptureSelection();
    engine.followSystemDefaults = followDefaults_;
    engine.audioEnabled = !audioOff_;
    WriteSettingNumber(kSettingTwoAttempts, kProductKey, "UseWinDefaultAudio",
                       followDefaults_ ? 1 : 0);
    WriteSettingNumber(kSettingTwoAttempts, kProductKey, "UseDirectSound", audioOff_ ? 0 : 1);
    if (!audioOff_) {
        engine.playbackIndex = playback;
        engine.captureIndex = capture;
        if (playback >= 0)
            WriteSettingText(kSettingTwoAttempts, kProductKey, "DSPlayDevice",
                             DeviceIdText(engine.playbackDevices[playback].identity).c_str());
        if (capture >= 0)
            WriteSettingText(kSettingTwoAttempts, kProductKey, "DSCaptureDevice",
                             DeviceIdText(engine.captureDevices[capture].identity).c_str());
        change.deviceChanged = IdentityAt(engine.playbackDevices, playback) != initialPlayback_ ||
                               IdentityAt(engine.captureDevices, capture) != initialCapture_;
    }
    WriteSettingNumber(kSettingTwoAttempts, kProductKey, "DefaultFormat", uint32_t(defaultFormat_));
    engine.recordingFormat = DefaultFormatRecord(defaultFormat_);
    change.audioSwitched = audioOff_ != initialAudioOff_;
    change.formatChanged = defaultFormat_ != initialFormat_;
    // Only the File device keeps its files; a path with a comma cannot be stored.
    if (backend_.kind != AudioChoice::Kind::kFile) backend_.file = {};
    const std::string backend = AudioChoiceText(backend_);
    AudioChoice stored;
    if (backend != initialBackend_ && ParseAudioChoice(backend, stored) &&
        WriteSettingText(kSettingTwoAttempts, kProductKey, "AudioBackend", backend.c_str())) {
        change.backendChanged = true;
        change.backend = stored;
    }
    return change;
}

void SetAudioDevicesPresenter(AudioDevicesPresenter presenter)
{
    Presenter() = std::move(presenter);
}

void SetSoundSettingsLauncher(SoundSettingsLauncher launcher)
{
    Launcher() = launcher ? std::move(launcher) : SoundSettingsLauncher(SpawnFromPath);
}

std::optional<AudioDevicesChange> AskForAudioDevices(bool fromCheck)
{
    AudioDevicesDialog dialog(fromCheck);
    if (!Presenter() || !Presenter()(dialog)) return std::nullopt;
    return dialog.Accept();
}

} // namespace tandrel
