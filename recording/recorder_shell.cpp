#include "recording/recorder_shell.h"

#include "engine/audio_stream.h"
#include "base/interaction.h"
#include "library/new_edits.h"
#include "recording/capture_drain.h"
#include "recording/recorder.h"

namespace tandrel {

namespace {
RecorderShell gDefaultShell;
RecorderShell* gShell = &gDefaultShell;
} // namespace

bool RecorderShell::ChooseTitle(const Account& account, std::string& title)
{
    return AskForNewTitle(account, title);
}

void RecorderShell::OpenRecordedEdit(const std::string& path)
{
    if (AudioStream* main = MainStream()) ManagerSetEdit(*main, path);
}

void RecorderShell::ShowCaptureGap(const std::string& text)
{
    MessageDialog(kCaptureGapTitle, text);
}

RecorderShell& TheRecorderShell()
{
    return *gShell;
}

void InstallRecorderShell(RecorderShell* shell)
{
    gShell = shell ? shell : &gDefaultShell;
}

void RecorderAudioShell::WriteRecordedData()
{
    tandrel::WriteRecordedData();
}

void RecorderAudioShell::MonitorInput()
{
    tandrel::MonitorInput();
}

void RecorderAudioShell::CheckRecordingLimits()
{
    RecordingLimitReached();
}

} // namespace tandrel
