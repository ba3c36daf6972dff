#include "engine/scrub_settings.h"

#include "engine/transport.h"
#include "settings/user.h"

namespace tandrel {

void ScrubSettingsDialog::Open()
{
    const UserFlags flags = ReadUserFlags();
    stepIndex = flags.ScrubStepIndex();
    timeIndex = flags.InitialScrubTimeIndex();
    initialAudioScrub = flags.InitialScrub();
}

std::string ScrubSettingsDialog::StepCaption() const
{
    return initialAudioScrub ? "Fast forward/reverse speed at end of initial audio scrub"
                             : "Fast forward/reverse speed";
}

bool ScrubSettingsDialog::Ok()
{
    UserFlags flags = ReadUserFlags();
    flags.SetScrubStepIndex(stepIndex);
    flags.SetInitialScrubTimeIndex(timeIndex);
    flags.Set(UserFlags::kInitialScrub, initialAudioScrub);
    const bool written = WriteUserFlags(flags);
    LoadScrubSettings();
    // The settings apply even when they could not be kept for the next run.
    TransportState& transport = Transport();
    transport.initialAudioScrub = flags.InitialScrub();
    transport.initialScrubMs = uint32_t(flags.InitialScrubMilliseconds());
    transport.scrubStepSize = flags.ScrubStep();
    return written;
}

} // namespace tandrel
