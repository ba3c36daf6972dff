#pragma once
#include <cstdint>

#include "edit/edit_view.h"

namespace tandrel {

// The selection of a view is [leftMark, rightMark); the cue line is its cursor. Positions are
// clamped to the Edit's length and rounded down to whole frames.

/** Both marks are set and differ. */
bool HasSelection(const EditView& view);
/** Sets the left mark; a right mark now before it is cleared. */
void SetLeftMark(EditView& view, uint64_t position);
/** Sets the right mark; a left mark now after it is cleared. */
void SetRightMark(EditView& view, uint64_t position);
/** Sets both marks as given (each clamped and rounded). */
void SetMarks(EditView& view, uint64_t left, uint64_t right);
/** Unsets both marks. */
void ClearSelection(EditView& view);
/** Selects the whole Edit: [0, length). */
void SelectAll(EditView& view);
/** Moves the cue line (clamped to the length) and refills the window around it. */
int PlaceCueLine(EditView& view, uint64_t position);

} // namespace tandrel
