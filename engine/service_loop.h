#pragma once
#include <cstdint>

namespace tandrel {

/** The audio service: one pass keeps every playing stream's ring filled and everything
    around it moving. The main loop runs ServiceAudio(false) after each message and then
    sleeps 1 ms while anything plays or records (10 ms in standby); dialogs with loops of
    their own run ServiceAudio(true) from a 20 ms timer so that audio never stops. In
    order: the transport display when the main stream's state changed (and the input
    monitor armed when it went back to standby); from a dialog, the recording's drain;
    while recording, the recording limits; DSIdle of the main stream (redrawing the cue
    when it moved); outside dialogs, one held-key scrub step; the input monitor unless
    playing; DSIdle of every cart, then every deck; the players' fader moves. Nothing
    happens to the devices while audio is off. UI thread. */
void ServiceAudio(bool fromDialog);

/** The clock of the scrub keys: milliseconds of the steady clock. Key handlers pass it to
    ScrubKeyDown/ScrubKeyUp so that the service loop's scrub steps count on the same clock. */
uint64_t ServiceClockMs();

/** Milliseconds the main loop waits between passes: 1 while the main stream plays, scrubs
    or records, or a player plays; 10 in standby. */
unsigned ServicePeriodMs();

} // namespace tandrel
