#include <algorithm>
#include <chrono>
#include <cstdint>
#include <unordered_set>

#include "edit/edit_file.h"

namespace tandrel {

bool EditFile::EditPushStep(std::vector<EditRecord> records)
{
    if (!IsOpen() || readOnly || records.empty()) return false;
    for (const EditRecord& record : records)
        if (record.groupSize != records.size()) return false;

    size_t before = undo.size();
    for (EditRecord& record : records) undo.push_back(std::move(record));
    redo.clear();
    if (EditSave() != 0) {
        undo.resize(before);
        return false;
    }
    return true;
}

bool EditFile::EditPushStep(uint32_t type, uint64_t position, const EditSegment& segment,
                            uint32_t flags, const std::string& name)
{
    EditRecord record;
    record.groupSize = 1;
    record.type = type;
    record.position = position;
    record.flags = flags;
    record.segment = segment;
    if (record.HasNameText()) record.SetName(name);
    std::vector<EditRecord> records;
    records.push_back(std::move(record));
    return EditPushStep(std::move(records));
}

bool PushBaseStep(EditFile& edit, uint64_t start, uint64_t end)
{
    const uint64_t bytesPerSecond = uint64_t(edit.bitsPerSample / 8) * edit.channels * edit.sampleRate;
    if (bytesPerSecond == 0 || end < start) return false;
    const auto centiseconds = uint32_t(std::min<uint64_t>((end - start) * 100 / bytesPerSecond, UINT32_MAX));
    for (int i = 0; i < 3; ++i) edit.EditSetLength(centiseconds, i);
    return edit.EditPushStep(kStepInsert, 0, EditSegment::Audio(start, end), kRecordBaseStep);
}

int EditFile::EditUndo()
{
    if (masterMode || undo.empty()) return -1;
    if (undo.back().flags & kRecordBaseStep) return 1;
    uint32_t groupSize = undo.back().groupSize;
    // A damaged group size must not carry the base step over to the redo list.
    for (uint32_t i = 0; i < groupSize && !undo.empty() && !(undo.back().flags & kRecordBaseStep); ++i) {
        redo.push_back(std::move(undo.back()));
        undo.pop_back();
    }
    return EditSave();
}

int EditFile::EditRedo()
{
    if (masterMode || redo.empty()) return -1;
    uint32_t groupSize = redo.back().groupSize;
    for (uint32_t i = 0; i < groupSize && !redo.empty(); ++i) {
        undo.push_back(std::move(redo.back()));
        redo.pop_back();
    }
    return EditSave();
}

uint32_t EditFile::EditNewMarkerId()
{
    auto now = std::chrono::steady_clock::now().time_since_epoch();
    uint32_t id = uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
    // Two markers made within one millisecond still get different ids.
    if (hasIssuedMarkerId_ && int32_t(id - lastMarkerId_) <= 0) id = lastMarkerId_ + 1;

    std::unordered_set<uint32_t> used;
    for (const std::vector<EditRecord>* list : {&undo, &redo})
        for (const EditRecord& record : *list)
            if (record.segment.IsMarker()) used.insert(record.segment.MarkerId());
    while (used.count(id)) ++id;

    lastMarkerId_ = id;
    hasIssuedMarkerId_ = true;
    return id;
}

} // namespace tandrel
