#pragma once
#include "editing/editor.h"

namespace tandrel {

// The clipboard operations on a view. UI thread; the active Edit's player is stopped.

/** Fills `target` (the program's clipboard when null) with the pieces of the selection:
    markers skipped, the first and last piece trimmed to the marks. 0, or -1 without a
    selection. */
int CopySelection(EditView& view, AudioClipboard* target = nullptr);
/** Deletes the selection as one step; the cue line goes to the former left mark and the
    selection is cleared. 0 or -1. */
int DeleteSelection(EditView& view);
/** Copies the selection to the clipboard, then deletes it. 0 or -1. */
int CutSelection(EditView& view);

/** What PasteAtCursor did. */
enum class PasteResult { Pasted, NothingToPaste, Refused, Failed };
/** Pastes the clipboard at the cue line as one step and selects what was pasted. Pieces of
    the same Edit are placed without copying audio; from another Edit the audio is copied
    (converted to this Edit's format) and the source Edit is left as it was. Refused, after
    the "Sorry" box, when the history has no room for the step. */
PasteResult PasteAtCursor(Editor& editor);

} // namespace tandrel
