#pragma once
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "audio/audio_devices.h"
#include "platform/audio/audio_backend.h"

namespace tandrel {

/** What OK changed, for the work that follows it (ApplyAudioDevicesChange). */
struct AudioDevicesChange
{
    bool audioSwitched = false;  // audio turned on or off
    bool deviceChanged = false;  // another playback or capture device
    bool formatChanged = false;  // another default recording format
    bool backendChanged = false; // another sound system, `backend`
    AudioChoice backend{};
};

/** The logic of the Audio Devices dialog: the two device lists, the "use the system's
    default devices" and "audio off" check boxes, the default recording format and the sound
    settings button. The dialog works on its own copy of the choices; only Accept (OK)
    changes the engine and the settings, so Cancel leaves everything as it was. The Qt dialog
    (and the tests) drive it through a presenter. UI thread. */
class AudioDevicesDialog
{
  public:
    /** Reads the current choices; fills the device lists when one is empty. `fromCheck`:
        opened by CheckAudioDevices because no device could be chosen. */
    explicit AudioDevicesDialog(bool fromCheck);

    bool FromCheck() const { return fromCheck_; }

    // What the dialog shows.
    /** The descriptions in each list, in the engine's order. */
    std::vector<std::string> PlaybackTexts() const;
    std::vector<std::string> CaptureTexts() const;
    /** The highlighted row of each list; -1 for none. While following the system defaults
        the rows of the default devices. */
    int PlaybackSelection() const;
    int CaptureSelection() const;
    bool FollowDefaults() const { return followDefaults_; }
    bool AudioOff() const { return audioOff_; }
    /** The lists take clicks only while audio is on and the defaults are not followed. */
    bool DeviceListsEnabled() const { return !followDefaults_ && !audioOff_; }
    /** The sound systems in AudioChoice::Kind's order (automatic, none, sound server or card,
        WAV files), and the one chosen with its WAV files. */
    static std::vector<std::string> SoundSystemTexts();
    const AudioChoice& SoundSystem() const { return backend_; }
    /** The 18 format texts, and the number (1..18) of the one chosen. */
    static std::vector<std::string> FormatTexts();
    int DefaultFormat() const { return defaultFormat_; }

    // What the person does.
    /** A click on a row; ignored while the lists are disabled or for a row that is not
        there. */
    void SelectPlayback(int row);
    void SelectCapture(int row);
    void SetFollowDefaults(bool follow);
    /** Turning audio back on lists the devices afresh. */
    void SetAudioOff(bool off);
    /** A row of SoundSystemTexts; another row is ignored. The WAV files are read from
        `inPath` and written to `outPath` (either may be empty: silence in, nothing kept). */
    void SelectSoundSystem(int row);
    void SetSoundFiles(const std::string& inPath, const std::string& outPath);
    /** A number outside 1..18 is ignored. */
    void SelectDefaultFormat(int number);
    /** The sound settings button: starts the desktop's sound control panel (pavucontrol).
        False after telling the user "Unable to open pavucontrol audio control panel.". */
    bool OpenSoundSettings();

    /** OK: writes UseWinDefaultAudio and UseDirectSound, with audio on the chosen devices
        (indexes and DSPlayDevice / DSCaptureDevice as braced GUID text), and DefaultFormat;
        the engine takes the choices. Returns what changed. */
    AudioDevicesChange Accept();

  private:
    int Shown(int chosen, const std::vector<AudioDeviceEntry>& list, const DeviceId& id) const;

    const bool fromCheck_;
    DeviceId playbackChoice_{}; // the identities chosen, all zeros for none
    DeviceId captureChoice_{};
    bool followDefaults_ = false;
    bool audioOff_ = false;
    int defaultFormat_ = 16;
    // As they were when the dialog opened, to tell what OK changed.
    DeviceId initialPlayback_{};
    DeviceId initialCapture_{};
    bool initialAudioOff_ = false;
    int initialFormat_ = 16;
    AudioChoice backend_;
    std::string initialBackend_; // its text when the dialog opened
};

/** Shows the dialog and returns true for OK. The Qt program installs one that runs the real
    dialog; tests install a script. */
using AudioDevicesPresenter = std::function<bool(AudioDevicesDialog& dialog)>;
/** Installs `presenter` (empty: the dialog is never shown and counts as cancelled). */
void SetAudioDevicesPresenter(AudioDevicesPresenter presenter);

/** How the sound settings button starts a program: true when it started. The default looks
    `program` up on PATH. */
using SoundSettingsLauncher = std::function<bool(const char* program)>;
void SetSoundSettingsLauncher(SoundSettingsLauncher launcher);

/** Opens the dialog and, after OK, stores the choices; the change they make, or nothing when
    the person cancelled. Applying the change is the engine's (ShowAudioDevicesDialog), since
    what plays and records has to stop first. */
std::optional<AudioDevicesChange> AskForAudioDevices(bool fromCheck);

} // namespace tandrel
