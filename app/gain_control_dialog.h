#pragma once

class QWidget;

namespace tandrel::app {

/** The Automatic Gain Control dialog: the switch and channel choice, where the levelling runs,
    the left and right sliders, and the fader range. OK stores everything and puts the gain
    control in force for the recording format at once; Cancel changes nothing. UI thread.
    True when OK was pressed and the settings were stored. */
bool RunGainControlDialog(QWidget* parent);

} // namespace tandrel::app
