#include "editing/markers.h"

#include <chrono>
#include <cstdio>

#include "base/interaction.h"
#include "editing/edit_commands.h"
#include "editing/selection.h"

namespace tandrel {

namespace {

constexpr const char* kProgramName = "Tandrel";
constexpr const char* kMarkerNameLabel = "Marker name:";

uint32_t TickCount()
{
    auto now = std::chrono::steady_clock::now().time_since_epoch();
    return uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

EditRecord MarkerRecord(uint64_t position, uint32_t id, const std::string& name)
{
    EditRecord record;
    record.type = kStepInsertMarker;
    record.position = position;
    record.segment.SetMarkerId(id);
    record.segment.SetMarkerFlags(kMarkerLive);
    record.SetName(name);
    return record;
}

// Pushes a single-record marker step, replays and keeps the cue line.
bool PushMarkerStep(EditView& view, EditRecord record)
{
    const uint64_t cue = view.cursor;
    std::vector<EditRecord> step;
    step.push_back(std::move(record));
    if (!view.edit.EditPushStep(std::move(step))) return false;
    bool replayed = view.SyncEdit();
    PlaceCueLine(view, cue);
    return replayed;
}

} // namespace

PendingMarkers& ThePendingMarkers()
{
    static PendingMarkers pending;
    return pending;
}

bool MarkerNamesPending()
{
    PendingMarkers& pending = ThePendingMarkers();
    std::lock_guard guard(pending.lock);
    return pending.beingNamed > 0;
}

std::string MarkerTimeText(uint64_t position, uint32_t bytesPerSecond)
{
    const uint64_t cs = bytesPerSecond ? position * 100 / bytesPerSecond : 0;
    char text[48];
    std::snprintf(text, sizeof text, "%d:%.2d:%.2d.%.2d", int(cs / 360000),
                  int((cs / 100) % 3600 / 60), int((cs / 100) % 60), int(cs % 100));
    return text;
}

int MarkerIndex(const EditView& view, uint64_t position)
{
    for (size_t i = 0; i < view.markers.size(); ++i)
        if (view.markers[i].position == position) return int(i);
    return -1;
}

int InsertMarker(Editor& editor)
{
    const EditorHost& host = editor.Host();
    if (!editor.HasEdit() || host.Recording() || host.TransportBusy()) return -1;
    std::optional<std::string> name = PromptText(kProgramName, kMarkerNameLabel);
    if (!name) return -1;
    EditView& view = *editor.view;
    const uint64_t cue = view.cursor;
    const uint32_t id = view.edit.EditNewMarkerId();
    if (!view.edit.EditPushStep(kStepInsertMarker, cue, MarkerRecord(cue, id, *name).segment, 0,
                                *name))
        return -1;
    bool replayed = view.SyncEdit();
    PlaceCueLine(view, cue);
    if (!replayed) ReportError("InsertMarker: Unable to insert Marker.");
    editor.Host().RefreshDisplays();
    for (size_t i = 0; i < view.markers.size(); ++i)
        if (view.segments.Segments()[view.markers[i].segment].MarkerId() == id) return int(i);
    return -1;
}

bool RenameMarker(Editor& editor, size_t index)
{
    if (!editor.HasEdit() || index >= editor.view->markers.size()) return false;
    EditView& view = *editor.view;
    const MarkerEntry entry = view.markers[index];
    const uint32_t id = view.segments.Segments()[entry.segment].MarkerId();
    const std::string label =
        "Mark at position: " + MarkerTimeText(entry.position, view.bytesPerSecond);
    std::optional<std::string> name = PromptText(kProgramName, label, view.MarkerName(id));
    if (!name) return false;
    bool renamed = view.RenameMarkerText(id, *name);
    editor.Host().RefreshDisplays();
    return renamed;
}

bool DeleteMarker(Editor& editor, size_t index)
{
    if (editor.Host().Recording()) {
        // While recording the window lists the pending markers: forget this one's name and
        // make sure it is never committed.
        PendingMarkers& pending = ThePendingMarkers();
        std::lock_guard guard(pending.lock);
        size_t live = 0;
        for (EditRecord& record : pending.records) {
            if (!(record.segment.MarkerFlags() & kMarkerLive)) continue;
            if (live++ != index) continue;
            record.SetName({});
            record.segment.SetMarkerFlags(record.segment.MarkerFlags() & ~kMarkerLive);
            editor.Host().RefreshDisplays();
            return true;
        }
        return false;
    }
    if (!editor.HasEdit() || index >= editor.view->markers.size()) return false;
    EditView& view = *editor.view;
    const EditSegment marker = view.segments.Segments()[view.markers[index].segment];
    EditRecord record;
    record.type = kStepDeleteMarker;
    record.position = view.cursor;
    record.segment = marker;
    record.SetName(view.MarkerName(marker.MarkerId()));
    std::vector<EditRecord> step;
    step.push_back(std::move(record));
    if (!view.edit.EditPushStep(std::move(step))) return false;
    const uint64_t cue = view.cursor;
    bool replayed = view.SyncEdit();
    PlaceCueLine(view, cue);
    if (!replayed) ReportError("DeleteMarker: Unable to delete Marker.");
    editor.Host().RefreshDisplays();
    return replayed;
}

bool DropMarker(Editor& editor)
{
    EditorHost& host = editor.Host();
    const bool recording = host.Recording();
    const bool playing = !host.PlayerStopped();
    if (!recording && !(playing && editor.HasEdit())) return false;
    // Master view shows the Edit's original: a marker step cannot go at its positions.
    if (!recording && RefuseInMasterView(editor)) return false;

    EditRecord record;
    record.type = kStepInsertMarker;
    record.position = recording ? host.RecordedBytes() : host.HeardPosition(*editor.view);
    record.segment.SetMarkerId(recording ? TickCount() : editor.view->edit.EditNewMarkerId());
    record.segment.SetMarkerFlags(2); // asked for, not yet named
    PendingMarkers& pending = ThePendingMarkers();
    size_t slot;
    {
        std::lock_guard guard(pending.lock);
        pending.records.push_back(record);
        slot = pending.records.size() - 1;
        if (recording) ++pending.beingNamed;
    }
    // The name is asked for with audio running: the program's dialog keeps servicing it.
    std::optional<std::string> name = PromptText(kProgramName, kMarkerNameLabel);
    EditRecord named;
    {
        std::lock_guard guard(pending.lock);
        if (recording) --pending.beingNamed;
        if (slot >= pending.records.size()) return false; // committed meanwhile
        EditRecord& held = pending.records[slot];
        if (name) {
            held.SetName(*name);
            held.segment.SetMarkerFlags(held.segment.MarkerFlags() | kMarkerLive);
        }
        named = held;
        if (!recording && name) {
            pending.records.erase(pending.records.begin() + std::ptrdiff_t(slot));
        }
    }
    bool ok = name.has_value();
    if (!recording && name) {
        named.segment.SetMarkerFlags(kMarkerLive);
        ok = PushMarkerStep(*editor.view, named);
    }
    host.RefreshDisplays();
    return ok;
}

void HoldRecordingMarker(uint64_t position, const std::string& name)
{
    PendingMarkers& pending = ThePendingMarkers();
    std::lock_guard guard(pending.lock);
    // Ids of recorded markers come from the clock; two in the same millisecond must differ.
    uint32_t id = TickCount();
    for (bool taken = true; taken;) {
        taken = false;
        for (const EditRecord& record : pending.records)
            if (record.segment.MarkerId() == id) {
                taken = true;
                ++id;
            }
    }
    pending.records.push_back(MarkerRecord(position, id, name));
}

bool CommitPendingMarkers(EditView& view, uint64_t offset)
{
    std::vector<EditRecord> records;
    {
        PendingMarkers& pending = ThePendingMarkers();
        std::lock_guard guard(pending.lock);
        records.swap(pending.records);
    }
    bool ok = true;
    const uint64_t cue = view.cursor;
    for (EditRecord& record : records) {
        if (!(record.segment.MarkerFlags() & kMarkerLive)) continue; // cancelled or deleted
        record.segment.SetMarkerFlags(kMarkerLive);
        ok = view.edit.EditPushStep(kStepInsertMarker, record.position + offset, record.segment, 0,
                                    record.name) && ok;
    }
    ok = view.SyncEdit() && ok;
    PlaceCueLine(view, cue);
    return ok;
}

std::vector<MarkerRow> MarkerRows(const Editor& editor)
{
    std::vector<MarkerRow> rows;
    if (editor.Host().Recording()) {
        PendingMarkers& pending = ThePendingMarkers();
        std::lock_guard guard(pending.lock);
        const uint32_t rate = editor.view ? editor.view->bytesPerSecond : 0;
        for (const EditRecord& record : pending.records)
            if (record.segment.MarkerFlags() & kMarkerLive)
                rows.push_back({MarkerTimeText(record.position, rate), record.name,
                                record.segment.MarkerId(), record.position});
        return rows;
    }
    if (!editor.HasEdit()) return rows;
    const EditView& view = *editor.view;
    for (const MarkerEntry& entry : view.markers) {
        uint32_t id = view.segments.Segments()[entry.segment].MarkerId();
        rows.push_back({MarkerTimeText(entry.position, view.bytesPerSecond), view.MarkerName(id),
                        id, entry.position});
    }
    return rows;
}

std::string MarkerRowsText(const std::vector<MarkerRow>& rows)
{
    std::string text;
    for (const MarkerRow& row : rows) text += row.time + "\t\t" + row.name + "\r\n";
    return text;
}

std::string MarkersWindowTitle(const Editor& editor)
{
    return std::string("Markers ") + (editor.HasEdit() ? editor.view->edit.title : std::string());
}

} // namespace tandrel
