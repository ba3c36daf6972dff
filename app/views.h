#pragma once

namespace tandrel::app {

class MainWindow;
class Studio;

/** Puts the waveform view, the transport panel and the key handler into the window and
    connects them to the studio's audio shell. */
void AttachViews(MainWindow& window, Studio& studio);

} // namespace tandrel::app
