#include "edit/edit_view.h"

#include <algorithm>

namespace tandrel {

void EditView::TakeFormatFromEdit()
{
    channels = edit.channels;
    sampleRate = edit.sampleRate;
    bitsPerSample = edit.bitsPerSample;
    blockAlign = bitsPerSample / 8 * channels;
    bytesPerSecond = blockAlign * sampleRate;
}

bool EditView::OpenView(const std::string& path, bool readOnly)
{
    CloseView();
    if (!edit.EditOpen(path, false, readOnly)) {
        edit.EditClose();
        return false;
    }
    TakeFormatFromEdit();
    master = false;
    bool replayed = SyncEdit();
    MarkTriple marks = edit.EditGetMarks();
    leftMark = marks.leftMark;
    rightMark = marks.rightMark;
    reportedMissingData_ = false;
    // A failed replay has been reported; the view still shows what it built.
    (void)replayed;
    if (MakeBuffer() != 0) {
        CloseView();
        return false;
    }
    windowStart = 0;
    SetCursor(std::min(marks.cursor, length), true);
    return true;
}

void EditView::CloseView()
{
    if (edit.IsOpen()) {
        edit.EditSetMarks({cursor, leftMark, rightMark});
        edit.EditClose();
    }
    segments.Clear();
    checkpoints_.Clear();
    markers.clear();
    ring = RenderRing{};
    leftBuffer = {};
    rightBuffer = {};
    mixBuffer = {};
    bufferBytes = 0;
    windowStart = 0;
    renderedStart = kNoPosition;
    length = 0;
    cursor = 0;
    leftMark = rightMark = kNoPosition;
    master = false;
}

bool EditView::CanUndo() const
{
    return edit.IsOpen() && !master && !edit.masterMode && !edit.undo.empty();
}

bool EditView::CanRedo() const
{
    return edit.IsOpen() && !master && !edit.masterMode && !edit.redo.empty();
}

void EditView::SetMasterView(bool on, bool saveMarks)
{
    if (saveMarks) {
        edit.EditSetMarks({cursor, leftMark, rightMark});
        edit.EditSave();
    }
    master = on;
    edit.EditSetMasterMode(on);
    SyncEdit();
    MarkTriple marks = edit.EditGetMarks();
    leftMark = marks.leftMark;
    rightMark = marks.rightMark;
    if (bufferBytes != 0 && MakeBuffer() == 0)
        SetCursor(std::min(marks.cursor, length), true);
    else
        cursor = marks.cursor;
}

bool EditView::RenameMarkerText(uint32_t markerId, const std::string& name)
{
    for (EditRecord& record : edit.undo) {
        if (record.type != kStepInsertMarker || record.segment.MarkerId() != markerId) continue;
        std::string previous = record.name;
        record.SetName(name);
        if (edit.EditSave() != 0) {
            record.SetName(previous);
            return false;
        }
        uint64_t keptCursor = cursor;
        SyncEdit();
        SetCursor(keptCursor, true);
        return true;
    }
    return false;
}

std::string EditView::MarkerName(uint32_t markerId) const
{
    for (const EditRecord& record : edit.undo)
        if (record.type == kStepInsertMarker && record.segment.MarkerId() == markerId)
            return record.name;
    return {};
}

} // namespace tandrel
