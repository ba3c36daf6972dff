#pragma once
#include "editing/editor.h"

namespace tandrel {

// The Edit menu's commands on the active Edit, as menus and keys call them, and the
// conditions under which they are enabled. UI thread. Each command refreshes the displays.

bool CanUndo(const Editor& editor);
bool CanRedo(const Editor& editor);
bool CanCut(const Editor& editor);
bool CanCopy(const Editor& editor);
bool CanPaste(const Editor& editor);
bool CanDelete(const Editor& editor);
bool CanSelect(const Editor& editor);

/** True when the active Edit is in Master view; then the "Master View" box has been shown
    and a command that would change the file must stop. */
bool RefuseInMasterView(const Editor& editor);

void UndoCommand(Editor& editor);
void RedoCommand(Editor& editor);
void CutCommand(Editor& editor);
void CopyCommand(Editor& editor);
void PasteCommand(Editor& editor);
void DeleteCommand(Editor& editor);
void SelectAllCommand(Editor& editor);
void ClearSelectionCommand(Editor& editor);

} // namespace tandrel
