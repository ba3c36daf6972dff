#pragma once
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "editing/editor.h"

namespace tandrel {

/** A marker position as the Markers window shows it: "H:MM:SS.hh". */
std::string MarkerTimeText(uint64_t position, uint32_t bytesPerSecond);

/** Index of the live marker at `position` among the view's live markers, or -1. */
int MarkerIndex(const EditView& view, uint64_t position);

/** The "Marker" command while editing: asks for a name and inserts a marker at the cue line
    as one step. Returns the new marker's index, or -1 (cancelled, not allowed, or failed). */
int InsertMarker(Editor& editor);
/** The Markers window's "Edit": asks for a new name and rewrites it (not undoable). */
bool RenameMarker(Editor& editor, size_t index);
/** The Markers window's "Delete": one step, so it can be undone; while recording, drops the
    pending marker instead. */
bool DeleteMarker(Editor& editor, size_t index);
/** The marker key while recording or playing (otherwise nothing): a marker at the bytes
    recorded so far, or where the person hears the play (EditorHost::HeardPosition). Audio
    keeps running while its name is asked for. Playing in Master view it is refused with the
    "Master View" box, as the menu refuses it. */
bool DropMarker(Editor& editor);
/** A marker the recording sets itself, already named, at `position` (bytes recorded so
    far): held and committed with the recording as a dropped marker is. Any thread. */
void HoldRecordingMarker(uint64_t position, const std::string& name);
/** After an insert recording at rendered position `offset`: turns every confirmed pending
    marker into a step at its place in the recording. True when all were pushed. */
bool CommitPendingMarkers(EditView& view, uint64_t offset);

/** Markers dropped during a recording, held until the recording is committed. Guarded by
    the marker lock, which the Markers window shares. */
struct PendingMarkers
{
    std::mutex lock;
    std::vector<EditRecord> records;
    /** Markers dropped while recording whose name is still being asked for. */
    int beingNamed = 0;
};
PendingMarkers& ThePendingMarkers();
/** Whether a marker dropped while recording still waits for its name: the recording must
    not be committed before it has it. */
bool MarkerNamesPending();

/** One row of the Markers window. */
struct MarkerRow
{
    std::string time;
    std::string name;
    uint32_t markerId = 0;
    uint64_t position = 0;
};
/** The rows the Markers window shows: the pending markers while recording, else the live
    markers of the active Edit, in order. */
std::vector<MarkerRow> MarkerRows(const Editor& editor);
/** "Copy Text to Clipboard": a line per row, the time, two tabs, the name, CR LF. */
std::string MarkerRowsText(const std::vector<MarkerRow>& rows);
/** Title of the Markers window for the active Edit. */
std::string MarkersWindowTitle(const Editor& editor);

} // namespace tandrel
