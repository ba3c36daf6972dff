#pragma once
#include "edit/edit_view.h"

namespace tandrel {

/** Undoes the newest step, replays, and puts the cue line and selection where the step
    acted. Returns EditUndo's result: 0, 1 (only the base step is left; nothing changes) or
    -1. UI thread, player stopped. */
int ViewUndo(EditView& view);
/** Redoes the step undone last, replays, and selects what it made. Returns EditRedo's
    result: 0 or -1. */
int ViewRedo(EditView& view);

} // namespace tandrel
