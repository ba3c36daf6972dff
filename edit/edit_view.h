#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "edit/edit_file.h"
#include "edit/edit_list.h"
#include "edit/render_ring.h"
#include "edit/replay_checkpoints.h"

namespace tandrel {

struct FormatConverter;

/** A live marker of the replayed edit list: its rendered position and its segment's index. */
struct MarkerEntry
{
    uint64_t position = 0;
    size_t segment = 0;
};

/** The replayed state of one Edit: edit list, markers, marks and cursor. UI thread only; a
    view is used by one caller at a time. */
class EditView
{
public:
    /** `seconds` of audio are held around the cursor (2 for short-lived views); a view with
        `withoutDisplay` never asks the main window to redraw (player streams). */
    explicit EditView(uint32_t seconds = 2, bool withoutDisplay = false)
        : bufferSeconds(seconds), noDisplay(withoutDisplay)
    {
    }
    ~EditView() { CloseView(); }
    EditView(const EditView&) = delete;
    EditView& operator=(const EditView&) = delete;

    uint32_t bytesPerSecond = 0;
    uint32_t channels = 0;
    uint32_t sampleRate = 0;
    uint32_t bitsPerSample = 0;
    uint32_t blockAlign = 0;
    uint64_t leftMark = kNoPosition;
    uint64_t rightMark = kNoPosition;
    uint64_t length = 0;
    uint64_t cursor = 0;
    bool master = false;
    EditFile edit;
    EditList segments;
    std::vector<MarkerEntry> markers;
    /** Whether the last SyncEdit applied every step. */
    bool replayOk = true;

    // The render window: a few seconds of rendered audio around the cursor.
    uint32_t blockBytes = 0;        // bytes in 10 ms: one step of the transport
    uint32_t blockBytesAligned = 0; // the same, whole frames
    uint32_t stepCarry = 0;         // part frames carried between fine steps
    bool fineStep = false;
    uint64_t windowStart = 0;
    uint64_t renderedStart = kNoPosition;
    uint32_t bufferBytes = 0;
    uint32_t bufferSeconds;
    uint64_t bytesRead = 0;
    RenderRing ring;
    std::vector<uint8_t> leftBuffer, rightBuffer, mixBuffer;
    bool noDisplay;

    /** Opens the Edit at `path`, replays it and loads the saved marks of the normal view.
        False when the file cannot be opened (layout errors are reported); the view is then
        closed again. A failed replay is reported and leaves the view open. */
    bool OpenView(const std::string& path, bool readOnly);
    /** Stores the cursor and marks into the Edit's current mark triple, closes the Edit
        (saving it unless read-only) and empties the view. Safe on a closed view. */
    void CloseView();

    /** Rebuilds segments, markers and length from the undo list. False (reported as
        "SyncEdit: error parsing type %d") when a step cannot be applied; the segments
        built so far stay. */
    bool SyncEdit();
    bool CanUndo() const;
    bool CanRedo() const;
    /** Switches between Master view and normal view, replaying and loading the marks of the
        view chosen; with `saveMarks` the current marks are stored and saved first. */
    void SetMasterView(bool on, bool saveMarks);
    /** Both marks are set and differ. */
    bool HasSelection() const
    {
        return leftMark != kNoPosition && rightMark != kNoPosition && leftMark != rightMark;
    }
    /** Gives the marker `markerId` a new name by rewriting its type 7 record in place (not
        undoable), saves, replays and keeps the cursor. False when no such record exists or
        the save fails. */
    bool RenameMarkerText(uint32_t markerId, const std::string& name);
    /** The name of the marker `markerId` (from the record that inserted it); empty if none. */
    std::string MarkerName(uint32_t markerId) const;

    // Render window (render_window.cpp).

    /** Sizes the window and its work buffers for the Edit's format. 0, or -1 (reported). */
    int MakeBuffer();
    /** Moves the cursor, sliding the window when needed; `refill` renders it afresh.
        0, or the render's error. */
    int SetCursor(uint64_t position, bool refill);
    /** Renders what the window lacks for `windowStart`. 0, kNoEdit, or -1 after a read error
        (missing bytes render as silence). */
    int Render(bool refill);
    /** The window from `offset` bytes after `windowStart` to its end. */
    RingPieces ReadWindow(uint32_t offset) const { return ring.Read(offset); }
    /** Switches the transport's step between 10 ms and four frames. */
    void SetFineStep(bool on);
    /** The byte that sounds as silence in this Edit's format. */
    uint8_t SilenceByte() const { return bitsPerSample == 8 ? 0x80 : 0x00; }

    static constexpr int kNoEdit = -911;

    // Selection copier (selection_copier.cpp). The processing below is off unless the
    // command running the copy sets it; it is applied to each chunk in this order.

    /** An effect processing a chunk in place. */
    std::function<void(uint8_t* bytes, uint32_t count)> chunkEffect;
    /** Copies the selection from its end to its start, each frame reversed in order. */
    bool reverseMode = false;
    /** A fade over a chunk; `outputOffset` is where the chunk lands in the copied audio. */
    std::function<void(uint8_t* bytes, uint32_t count, uint64_t outputOffset)> chunkFade;
    /** Set by WriteSelectionToEdit when the person cancelled the copy part-way. */
    bool copyCancelled = false;

    /** Copies the next chunk of the selection (at most one window) to the end of `target`,
        which is in its append state, through `converter` when given. `done` counts the
        selection bytes copied (start at 0); `progress` becomes 0 to 100. True when the
        selection is done or an error stopped the copy. UI thread. */
    bool CopySelectionChunk(int& progress, uint64_t& done, EditFile& target,
                            FormatConverter* converter);
    /** Appends the whole selection to `target`, converting to its format when it differs, with
        a cancellable progress window for long selections. `start`/`end` receive the data range
        appended (empty when there is no selection). A cancel still commits what was copied.
        0, or -1 when the copy could not start or failed (reported). */
    int WriteSelectionToEdit(EditFile& target, uint64_t& start, uint64_t& end);
    /** The texts a copy shows: the error when the formats cannot be converted, and the caption
        of its progress window (none: the caller's caption stays). */
    struct CopyTexts
    {
        const char* conversionError;
        const char* progressCaption;
    };
    static constexpr CopyTexts kPasteTexts = {
        "WriteSelectionToEdit: Error initializing format conversion structure.  "
        "Aborting paste operation.",
        nullptr};
    /** As above, with the texts of the operation running the copy. */
    int WriteSelectionToEdit(EditFile& target, uint64_t& start, uint64_t& end,
                             const CopyTexts& texts);

private:
    void TakeFormatFromEdit();
    size_t ApplyStep(size_t index, bool& ok);
    bool ApplyGenerate(const EditRecord& record);
    bool ApplyTreat(const EditRecord& record);
    size_t ApplySilence(size_t index, bool& ok);
    void RebuildMarkers();
    int RenderRange(uint64_t from, uint32_t count, WritablePieces& out);
    int RenderMixed(const EditSegment& segment, uint64_t offset, uint32_t count);
    int RenderChannel(const EditSegment& segment, int channel, uint64_t offset, uint32_t count,
                      uint8_t* out, bool& dataRead);
    int ReadData(uint64_t position, uint8_t* into, uint32_t count);
    void ResetStepSize();

    void SlideWindowTo(uint64_t start);

    ReplayCheckpoints checkpoints_;
    bool reportedMissingData_ = false;
    std::vector<uint8_t> chunkBuffer_;
    bool copyFailed_ = false;
};

/** Channel code of a record's treatment flags: 0 mono, 1 left, 2 right, 3 both, -1 invalid. */
int ChannelCode(uint32_t flagsA, uint32_t flagsB);
/** Merges the gain and normalise treatment of `treatment` into `channel`. */
void MergeTreatment(ChannelSource& channel, const ChannelSource& treatment);

} // namespace tandrel
