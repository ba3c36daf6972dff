#include "editing/undo_redo.h"

#include "editing/selection.h"

namespace tandrel {

namespace {

// Replays after a history change and places the cue line and marks; positions left as
// kNoPosition keep what the view had.
void Place(EditView& view, uint64_t cue, uint64_t left, uint64_t right)
{
    const MarkTriple kept{view.cursor, view.leftMark, view.rightMark};
    view.SyncEdit();
    if (cue == kNoPosition) {
        PlaceCueLine(view, kept.cursor);
        view.leftMark = kept.leftMark;
        view.rightMark = kept.rightMark;
        return;
    }
    PlaceCueLine(view, cue);
    SetMarks(view, left, right);
}

} // namespace

int ViewUndo(EditView& view)
{
    const int result = view.edit.EditUndo();
    if (result != 0) return result;
    // The step's first record is the last one moved over to the redo list.
    const EditRecord& step = view.edit.redo.back();
    const EditSegment& s = step.segment;
    switch (step.type) {
    case kStepInsert: Place(view, step.position, kNoPosition, kNoPosition); break;
    case kStepDelete:
    case kStepGenerate:
    case kStepTreat: Place(view, step.position, s.dataStart, s.dataEnd); break;
    case kStepSilence:
        if (step.groupSize == 2)
            Place(view, step.position, s.dataStart, s.dataEnd);
        else
            Place(view, step.position, kNoPosition, kNoPosition);
        break;
    case kStepReplace: Place(view, step.position, step.position, s.ReplacedEnd()); break;
    default: Place(view, kNoPosition, kNoPosition, kNoPosition); break;
    }
    return 0;
}

int ViewRedo(EditView& view)
{
    const uint64_t before = view.length;
    const size_t redone = view.edit.redo.empty() ? 0 : view.edit.redo.back().groupSize;
    const int result = view.edit.EditRedo();
    if (result != 0) return result;
    const std::vector<EditRecord>& undo = view.edit.undo;
    const EditRecord step = undo[undo.size() - std::min(redone == 0 ? 1 : redone, undo.size())];
    const EditSegment& s = step.segment;
    const MarkTriple kept{view.cursor, view.leftMark, view.rightMark};
    view.SyncEdit();
    const uint64_t grown = view.length > before ? view.length - before : 0;
    const uint64_t p = step.position;
    switch (step.type) {
    case kStepInsert:
        PlaceCueLine(view, p);
        if (step.flags & kRecordBaseStep)
            SetMarks(view, kept.leftMark, kept.rightMark);
        else
            SetMarks(view, p, p + grown);
        break;
    case kStepDelete:
        PlaceCueLine(view, s.dataStart);
        ClearSelection(view);
        break;
    case kStepGenerate:
    case kStepTreat:
        PlaceCueLine(view, p);
        SetMarks(view, s.dataStart, s.dataEnd);
        break;
    case kStepSilence:
        PlaceCueLine(view, p);
        SetMarks(view, p, p + grown * step.groupSize);
        break;
    case kStepReplace:
        PlaceCueLine(view, p);
        SetMarks(view, p, p + (s.dataEnd - s.dataStart));
        break;
    default:
        PlaceCueLine(view, kept.cursor);
        view.leftMark = kept.leftMark;
        view.rightMark = kept.rightMark;
        break;
    }
    return 0;
}

} // namespace tandrel
