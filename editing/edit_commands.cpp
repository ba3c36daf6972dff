#include "editing/edit_commands.h"

#include "base/interaction.h"
#include "editing/clipboard.h"
#include "editing/selection.h"
#include "editing/undo_redo.h"

namespace tandrel {

namespace {

bool InMasterView(const Editor& editor) { return editor.view->edit.EditIsMasterMode(); }

// Stopped, and neither recording nor moving: the history may change.
bool Idle(const Editor& editor)
{
    const EditorHost& host = editor.Host();
    return host.PlayerStopped() && !host.Recording() && !host.TransportBusy();
}

} // namespace

bool CanUndo(const Editor& editor)
{
    return editor.HasEdit() && editor.view->edit.undo.size() >= 2 && Idle(editor) &&
           !InMasterView(editor);
}

bool CanRedo(const Editor& editor)
{
    return editor.HasEdit() && !editor.view->edit.redo.empty() && Idle(editor) &&
           !InMasterView(editor);
}

bool CanCut(const Editor& editor)
{
    return editor.HasEdit() && HasSelection(*editor.view) && Idle(editor) && !InMasterView(editor);
}

bool CanCopy(const Editor& editor)
{
    return editor.HasEdit() && HasSelection(*editor.view) && Idle(editor);
}

bool CanPaste(const Editor& editor)
{
    const EditorHost& host = editor.Host();
    return editor.HasEdit() && !InMasterView(editor) && !host.Recording() &&
           (host.PlayerStopped() || host.PasteAllowedWhilePlaying());
}

bool CanDelete(const Editor& editor) { return CanCut(editor); }

bool CanSelect(const Editor& editor) { return editor.HasEdit(); }

bool RefuseInMasterView(const Editor& editor)
{
    if (!editor.HasEdit() || !InMasterView(editor)) return false;
    MessageDialog("Master View",
                  "Editing operations which would change the file are not allowed in Master mode.");
    return true;
}

void UndoCommand(Editor& editor)
{
    if (RefuseInMasterView(editor) || !editor.HasEdit() || !Idle(editor)) return;
    if (ViewUndo(*editor.view) < 0) ReportError("Undo: error performing undo.");
    editor.Host().RefreshDisplays();
}

void RedoCommand(Editor& editor)
{
    if (RefuseInMasterView(editor) || !editor.HasEdit() || !Idle(editor)) return;
    if (ViewRedo(*editor.view) < 0) ReportError("Redo: error performing redo.");
    editor.Host().RefreshDisplays();
}

void CutCommand(Editor& editor)
{
    if (RefuseInMasterView(editor) || !CanCut(editor)) return;
    if (CutSelection(*editor.view) != 0) ReportError("Cut: error performing cut.");
    editor.Host().RefreshDisplays();
}

void CopyCommand(Editor& editor)
{
    if (!CanCopy(editor)) return;
    if (CopySelection(*editor.view) != 0) ReportError("Copy: error performing copy.");
    editor.Host().RefreshDisplays();
}

void PasteCommand(Editor& editor)
{
    if (RefuseInMasterView(editor) || !CanPaste(editor)) return;
    // A refused paste has shown its own box already.
    if (PasteAtCursor(editor) == PasteResult::Failed) ReportError("Paste: error performing paste.");
    editor.Host().RefreshDisplays();
}

void DeleteCommand(Editor& editor)
{
    if (RefuseInMasterView(editor) || !CanDelete(editor)) return;
    if (DeleteSelection(*editor.view) != 0) ReportError("Delete: error performing delete.");
    editor.Host().RefreshDisplays();
}

void SelectAllCommand(Editor& editor)
{
    if (!CanSelect(editor)) return;
    SelectAll(*editor.view);
    editor.Host().RefreshDisplays();
}

void ClearSelectionCommand(Editor& editor)
{
    if (!CanSelect(editor)) return;
    ClearSelection(*editor.view);
    editor.Host().RefreshDisplays();
}

} // namespace tandrel
