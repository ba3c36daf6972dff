#pragma once
#include <string>

#include "audio/audio_shell.h"
#include "library/library_account.h"

namespace tandrel {

/** What the recorder asks of the program around it: confirmation, displays, the title of a
    new recording and where the stop request goes. The defaults serve the command-line tool
    and the tests. UI thread. */
class RecorderShell
{
public:
    virtual ~RecorderShell() = default;
    /** Whether a recording may start now (the shell's confirmation). */
    virtual bool MayStartRecording() { return true; }
    /** The waveform view starts tracking the input afresh. */
    virtual void ResetInputTracker() {}
    /** The displays show the recording: everything (`full`, including the free space) or
        just the time. */
    virtual void RefreshDisplays(bool /*full*/) {}
    /** The window title follows the recording. */
    virtual void UpdateTitle() {}
    /** A limit was reached: the current recording must be stopped from the main loop (the
        program posts its stop-recording message). Callers without a message queue look at
        what RecordingLimitReached returns instead. */
    virtual void PostStopRecording() {}
    /** The title of the new Edit a recording becomes; false when the person cancels. The
        default asks through the prompt seam (AskForNewTitle). */
    virtual bool ChooseTitle(const Account& account, std::string& title);
    /** A new recording was saved at `path` and becomes the active Edit. The default opens it
        in the main stream. */
    virtual void OpenRecordedEdit(const std::string& path);
    /** The recording lost input: `text` tells the person so (kCaptureGapTitle). Called from
        the capture drain; the default shows it there and then, a program with a message loop
        shows it from the loop. */
    virtual void ShowCaptureGap(const std::string& text);
};

inline constexpr const char* kCaptureGapTitle = "Recording Gap";

/** The shell in use; never null. */
RecorderShell& TheRecorderShell();
/** Installs `shell` (null: the defaults again). The caller keeps it alive. */
void InstallRecorderShell(RecorderShell* shell);

/** The audio shell of a program that records: the service loop's recording drain and input
    monitor run the recorder. The program's own shell derives from it. */
class RecorderAudioShell : public AudioShell
{
public:
    void WriteRecordedData() override;
    void MonitorInput() override;
    void CheckRecordingLimits() override;
};

/** Stop-recording message, posted to the main window when a limit is reached. */
inline constexpr uint32_t kStopRecordingMessage = 0x915D;

} // namespace tandrel
