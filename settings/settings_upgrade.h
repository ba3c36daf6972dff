#pragma once

namespace tandrel {

/** The settings-version step of start-up. When the number "Version 2.0" is missing or 0 it
    deletes the device and mixer-line values an older release left (so devices and lines are
    chosen again), carries the older cart and deck names over to the current ones
    ("CartHotKey1" → "Cart1", "CartDeckA" → "Deck1", with their Label and Pad forms), resets
    the crossfaders to their defaults and writes "Version 2.0" = 1. Returns whether the step
    ran. UI thread, before anything else reads settings. */
bool UpgradeSettings();

} // namespace tandrel
