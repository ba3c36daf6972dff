#pragma once
#include <string>

namespace tandrel {

/** The scrub settings dialog's logic: two 16-position sliders (the fast-forward/rewind step
    and the initial-scrub time) and the initial audio scrub check box, kept in UserFlags. The
    Qt dialog shows this model; audio is serviced by the program's timers meanwhile. */
class ScrubSettingsDialog
{
public:
    /** Takes the current values from UserFlags. */
    void Open();
    /** The step slider's caption, which says when the step applies. */
    std::string StepCaption() const;
    /** The time slider is usable only with the initial audio scrub. */
    bool TimeSliderEnabled() const { return initialAudioScrub; }
    /** Packs the indexes (clamped to 0..15) and the check box into UserFlags and applies the
        table values to the transport at once. False when the settings could not be written. */
    bool Ok();

    int stepIndex = 7;
    int timeIndex = 1;
    bool initialAudioScrub = false;
};

} // namespace tandrel
