#include <algorithm>
#include <array>

#include "base/interaction.h"
#include "edit/edit_view.h"

namespace tandrel {

int ChannelCode(uint32_t a, uint32_t b)
{
    auto has = [](uint32_t flags, uint32_t bits) { return (flags & bits) != 0; };
    if (has(a, kTreatMono) && !has(a, kTreatLeft | kTreatRight | kTreatBoth)) return 0;
    if (has(a, kTreatLeft) && !has(a, kTreatRight | kTreatBoth | kTreatMono)) return 1;
    if (!has(a, kTreatMono | kTreatLeft) && has(b, kTreatRight) &&
        !has(b, kTreatMono | kTreatLeft | kTreatBoth))
        return 2;
    if (!has(a, kTreatMono | kTreatLeft) && has(a, kTreatBoth) && !has(a, kTreatRight) &&
        has(b, kTreatBoth) && !has(b, kTreatMono | kTreatLeft))
        return 3;
    return -1;
}

void MergeTreatment(ChannelSource& channel, const ChannelSource& treatment)
{
    if (treatment.treatFlags & kTreatGainGroup) {
        channel.treatFlags &= ~kTreatGainMask;
        channel.treatFlags |= treatment.treatFlags;
        channel.treatParam |= treatment.treatParam;
    }
    if (treatment.treatFlags & kTreatNormaliseGroup) {
        channel.treatFlags &= ~kTreatNormaliseMask;
        channel.treatFlags |= treatment.treatFlags;
        channel.treatParam |= treatment.treatParam;
    }
}

bool EditView::SyncEdit()
{
    markers.clear();
    cursor = 0;
    bool ok = true;
    const std::vector<EditRecord>& undo = edit.undo;
    // Master view replays only the first step; otherwise start from the newest copy of the
    // list that the history still leads to.
    size_t index = 0;
    if (edit.masterMode) {
        segments.Clear();
    } else {
        checkpoints_.Fingerprint(undo);
        index = checkpoints_.Restore(segments);
    }
    while (index < undo.size()) {
        size_t consumed = ApplyStep(index, ok);
        if (!ok) {
            ReportError("SyncEdit: error parsing type %d", int(undo[index].type));
            break;
        }
        index += consumed ? consumed : 1;
        // Master view shows only the audio the Edit was created with.
        if (edit.masterMode) break;
        checkpoints_.Keep(std::min(index, undo.size()), segments);
    }
    if (ok) RebuildMarkers();
    replayOk = ok;
    uint64_t total = segments.Length();
    length = blockAlign ? total / blockAlign * blockAlign : total;
    edit.EditSetLength(bytesPerSecond ? uint32_t(length * 100 / bytesPerSecond) : 0, 0);
    return ok;
}

// Applies the step starting at undo[index]; returns the records it consumed and clears `ok`
// when the step cannot be applied.
size_t EditView::ApplyStep(size_t index, bool& ok)
{
    const std::vector<EditRecord>& undo = edit.undo;
    const EditRecord& record = undo[index];
    const EditSegment& segment = record.segment;
    bool single = record.groupSize == 1 && !segments.Empty();
    switch (record.type) {
    case kStepInsert:
    case kStepInsertMarker: {
        std::vector<EditSegment> pieces;
        size_t end = index;
        while (end < undo.size() && end - index < record.groupSize &&
               undo[end].groupSize == record.groupSize)
            pieces.push_back(undo[end++].segment);
        ok = segments.Insert(record.position, pieces) != EditList::InsertResult::Failed;
        return end - index;
    }
    case kStepDelete:
        ok = single && segments.Delete(segment.dataStart, segment.dataEnd);
        return 1;
    case kStepGenerate:
        ok = single && ApplyGenerate(record);
        return 1;
    case kStepSilence:
        return ApplySilence(index, ok);
    case kStepTreat:
        ok = single && ApplyTreat(record);
        return 1;
    case kStepReplace: {
        EditSegment replacement = EditSegment::Audio(segment.dataStart, segment.dataEnd);
        ok = single && segments.Delete(record.position, segment.ReplacedEnd()) &&
             segments.Insert(record.position, {&replacement, 1}) != EditList::InsertResult::Failed;
        return 1;
    }
    case kStepDeleteMarker:
        ok = segments.ClearMarker(segment.MarkerId());
        return 1;
    default:
        ok = false;
        return 1;
    }
}

// Generated audio takes the place of the range's audio in the channels the step names. The
// pieces are changed where they lie, so markers inside the range stay with it.
bool EditView::ApplyGenerate(const EditRecord& record)
{
    const EditSegment& step = record.segment;
    int code = ChannelCode(step.channel[0].treatFlags, step.channel[1].treatFlags);
    bool whole = (channels == 1 && code == 0) || (channels == 2 && code == 3);
    bool oneSide = channels == 2 && (code == 1 || code == 2);
    if (!whole && !oneSide) return false;
    if (step.dataEnd < step.dataStart || step.dataEnd - step.dataStart > segments.Length())
        return false;
    segments.ChangeRange(step.dataStart, step.dataEnd, [&](EditSegment& piece) {
        if (whole) {
            piece.channel[0] = step.channel[0];
            if (channels == 2) piece.channel[1] = step.channel[1];
        } else {
            piece.channel[code - 1] = step.channel[code - 1];
        }
    });
    return true;
}

bool EditView::ApplyTreat(const EditRecord& record)
{
    const EditSegment& step = record.segment;
    if (step.dataEnd < step.dataStart || step.dataEnd - step.dataStart > segments.Length())
        return false;
    segments.ChangeRange(step.dataStart, step.dataEnd, [&](EditSegment& piece) {
        MergeTreatment(piece.channel[0], step.channel[0]);
        if (channels == 2) MergeTreatment(piece.channel[1], step.channel[1]);
    });
    return true;
}

size_t EditView::ApplySilence(size_t index, bool& ok)
{
    const std::vector<EditRecord>& undo = edit.undo;
    const EditRecord& a = undo[index];
    if (a.groupSize == 1) {
        EditSegment silence = EditSegment::Audio(a.segment.dataStart, a.segment.dataEnd);
        uint32_t flags = channels == 2 ? kTreatBoth : kTreatMono;
        silence.channel[0] = {kSourceSilence, 0, flags, 0};
        if (channels == 2) silence.channel[1] = silence.channel[0];
        ok = segments.Insert(a.position, {&silence, 1}) != EditList::InsertResult::Failed;
        return 1;
    }
    // Two records offset one channel against the other: the range plays twice, first with
    // A's channel silenced, then with B's, so one channel is heard later than the other.
    if (a.groupSize != 2 || channels != 2 || index + 1 >= undo.size() || segments.Empty()) {
        ok = false;
        return 1;
    }
    const EditRecord& b = undo[index + 1];
    uint64_t start = a.segment.dataStart, end = a.segment.dataEnd;
    std::vector<EditSegment> first = segments.CopyRange(start, end);
    std::vector<EditSegment> second = first;
    if (!segments.Delete(start, end)) {
        ok = false;
        return 2;
    }
    for (EditSegment& piece : first) {
        bool left = a.segment.channel[0].source != 0;
        const ChannelSource& from = a.segment.channel[left ? 0 : 1];
        ChannelSource& to = piece.channel[left ? 0 : 1];
        to.source = from.source;
        to.process = from.process;
        to.treatFlags = from.treatFlags;
    }
    for (EditSegment& piece : second) {
        if (b.segment.channel[1].source != 0)
            piece.channel[1] = b.segment.channel[1];
        else
            piece.channel[0] = b.segment.channel[0];
    }
    ok = segments.Insert(a.segment.dataStart, first) != EditList::InsertResult::Failed &&
         segments.Insert(b.segment.dataStart, second) != EditList::InsertResult::Failed;
    return 2;
}

void EditView::RebuildMarkers()
{
    markers.clear();
    uint64_t reached = 0;
    const std::vector<EditSegment>& list = segments.Segments();
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i].IsLiveMarker()) markers.push_back({reached, i});
        reached += list[i].Length();
    }
}

} // namespace tandrel
