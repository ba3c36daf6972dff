#pragma once
#include "app/program_requests.h"

namespace tandrel::app {

class MainWindow;
class Studio;

/** Carries out a transcription key or command on the active Edit: play/pause does what the
    Space key does in the window; back steps the cue back TranscriptionBackSeconds, playing
    on when it played. UI thread. */
void CarryOutTranscription(MainWindow& window, Studio& studio, TranscriptionAction action);

} // namespace tandrel::app
