#include "edit/edit_view.h"

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
    cursor = marks.cursor;
    leftMark = marks.leftMark;
    rightMark = marks.rightMark;
    (void)replayed; // a failed replay has been reported; the view still shows what it built
    return true;
}

void EditView::CloseView()
{
    if (edit.IsOpen()) {
        edit.EditSetMarks({cursor, leftMark, rightMark});
        edit.EditClose();
    }
    segments.Clear();
    markers.clear();
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
    cursor = marks.cursor;
    leftMark = marks.leftMark;
    rightMark = marks.rightMark;
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
        cursor = keptCursor;
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
