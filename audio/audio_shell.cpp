#include "audio/audio_shell.h"

namespace tandrel {

namespace {
AudioShell gPlainShell;
AudioShell* gShell = &gPlainShell;
} // namespace

AudioShell& TheAudioShell()
{
    return *gShell;
}

void InstallAudioShell(AudioShell* shell)
{
    gShell = shell ? shell : &gPlainShell;
}

} // namespace tandrel
