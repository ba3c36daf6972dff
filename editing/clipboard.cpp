#include "editing/clipboard.h"

#include "base/interaction.h"
#include "editing/selection.h"
#include "editing/undo_redo.h"

namespace tandrel {

AudioClipboard& TheClipboard()
{
    static AudioClipboard clipboard;
    return clipboard;
}

EditorHost& Editor::Host() const
{
    static EditorHost idle;
    return host ? *host : idle;
}

int CopySelection(EditView& view, AudioClipboard* target)
{
    if (view.leftMark == kNoPosition || view.rightMark == kNoPosition) return -1;
    AudioClipboard& clipboard = target ? *target : TheClipboard();
    clipboard.clipPath = view.edit.path;
    clipboard.clipMaster = view.edit.EditIsMasterMode();
    clipboard.clipSegments = view.segments.CopyRange(view.leftMark, view.rightMark);
    return 0;
}

int DeleteSelection(EditView& view)
{
    if (!HasSelection(view)) return -1;
    const uint64_t left = std::min(view.leftMark, view.rightMark);
    const uint64_t right = std::max(view.leftMark, view.rightMark);
    if (!view.edit.EditPushStep(kStepDelete, view.cursor, EditSegment::Audio(left, right))) return -1;
    bool replayed = view.SyncEdit();
    PlaceCueLine(view, left);
    ClearSelection(view);
    return replayed ? 0 : -1;
}

int CutSelection(EditView& view)
{
    if (!HasSelection(view)) return -1;
    if (CopySelection(view) != 0) return -1;
    return DeleteSelection(view);
}

namespace {

bool HistoryHasRoom(const EditFile& edit, uint64_t newRecords)
{
    if (edit.HistoryBytes() + kRecordSize * newRecords < kProgramChunkSize) return true;
    MessageDialog("Sorry", "The undo/redo stack has exceeded its size limit.");
    return false;
}

// Pushes one step placing `pieces` at the cue line, replays and selects what was placed.
bool PlacePieces(EditView& view, const std::vector<EditSegment>& pieces)
{
    const uint64_t at = view.cursor;
    const uint64_t before = view.length;
    std::vector<EditRecord> records;
    for (const EditSegment& piece : pieces) {
        EditRecord record;
        record.groupSize = uint32_t(pieces.size());
        record.type = kStepInsert;
        record.position = at;
        record.segment = piece;
        records.push_back(record);
    }
    if (!view.edit.EditPushStep(std::move(records))) return false;
    bool replayed = view.SyncEdit();
    PlaceCueLine(view, at);
    SetMarks(view, at, at + (view.length - before));
    return replayed;
}

bool ValidSelection(const EditView& view)
{
    return HasSelection(view) && view.leftMark < view.rightMark && view.rightMark <= view.length;
}

// Copies the clipboard's selection out of the Edit it came from. The source is opened on its
// own; a Cut made in it is undone there for the copy and redone after, and its cue line and
// marks are put back, so the source is left as it was.
PasteResult PasteFromAnotherEdit(Editor& editor, const AudioClipboard& clipboard)
{
    EditView& view = *editor.view;
    if (!HistoryHasRoom(view.edit, 1)) return PasteResult::Refused;
    editor.Host().ReleaseFileFromPlayers(clipboard.clipPath);

    PasteResult result = PasteResult::Failed;
    EditView source(2);
    if (source.OpenView(clipboard.clipPath, false)) {
        if (clipboard.clipMaster) source.SetMasterView(true, false);
        const MarkTriple saved{source.cursor, source.leftMark, source.rightMark};
        int undone = 0;
        while (!ValidSelection(source) && ViewUndo(source) == 0) ++undone;
        uint64_t start = 0, end = 0;
        bool copied = ValidSelection(source) &&
                      source.WriteSelectionToEdit(view.edit, start, end) == 0 && end > start;
        for (int i = 0; i < undone; ++i) ViewRedo(source);
        source.cursor = saved.cursor;
        source.leftMark = saved.leftMark;
        source.rightMark = saved.rightMark;
        source.CloseView();

        if (copied && PlacePieces(view, {EditSegment::Audio(start, end)})) result = PasteResult::Pasted;
    }
    editor.Host().ReturnFileToPlayers(clipboard.clipPath);
    return result;
}

} // namespace

PasteResult PasteAtCursor(Editor& editor)
{
    const AudioClipboard& clipboard = TheClipboard();
    if (!editor.HasEdit() || clipboard.clipSegments.empty() || clipboard.clipPath.empty())
        return PasteResult::NothingToPaste;
    EditView& view = *editor.view;
    // Paths on this system tell files apart by case, so they are compared exactly.
    if (clipboard.clipPath != view.edit.path) return PasteFromAnotherEdit(editor, clipboard);

    if (!HistoryHasRoom(view.edit, clipboard.clipSegments.size())) return PasteResult::Refused;
    if (!clipboard.clipMaster)
        return PlacePieces(view, clipboard.clipSegments) ? PasteResult::Pasted : PasteResult::Failed;

    // Copied in Master view: the selection was a range of the audio the Edit was made with,
    // whose rendered positions are data offsets.
    const MarkTriple master = view.edit.header.master;
    if (master.leftMark == kNoPosition || master.rightMark == kNoPosition ||
        master.rightMark <= master.leftMark)
        return PasteResult::Failed;
    return PlacePieces(view, {EditSegment::Audio(master.leftMark, master.rightMark)}) ? PasteResult::Pasted : PasteResult::Failed;
}

} // namespace tandrel
