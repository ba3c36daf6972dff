#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "edit/edit_types.h"

namespace tandrel {

/** One open KDW file: its format, header and history, and the primitive operations on its
    sample data. UI thread only (an EditFile has no lock of its own). While open, the file is
    locked exclusively: a second opener, in this process or another, fails. */
class EditFile
{
public:
    EditFile() = default;
    ~EditFile();
    EditFile(const EditFile&) = delete;
    EditFile& operator=(const EditFile&) = delete;

    std::string path;
    std::string title;
    uint32_t channels = 0;
    uint32_t sampleRate = 0;
    uint32_t bitsPerSample = 0;
    EditHeader header;
    bool readOnly = false;
    bool masterMode = false;
    uint32_t riffSizeOffset = 0;
    uint32_t programOffset = 0;
    uint32_t dataSizeOffset = 0;
    uint32_t dataOffset = 0;
    uint64_t appendStart = 0;
    uint64_t committedEnd = 0;
    std::vector<EditRecord> undo;
    std::vector<EditRecord> redo;

    /** Creates (`create`, format taken from channels/sampleRate/bitsPerSample; fails if the
        file exists) or opens an existing file. False on failure, with `LastSystemError`
        saying why (EBADMSG: not an Edit this program can read; EBUSY: open elsewhere);
        layout errors are reported, a file that cannot be opened is not. A failed open has
        written nothing and holds no file. Opened for writing, a history that names audio
        the file does not hold is cut back: the history as it was is first kept in a file
        beside the Edit, and the user is told. */
    bool EditOpen(const std::string& filePath, bool create, bool openReadOnly);
    /** Writes the header and both record lists into the program chunk and flushes them to
        the disk, through a journal beside the Edit so that a crash leaves the old history or
        the new one. 0, or -1 (reported, except when no file is open or it is read-only). */
    int EditSave();
    /** Saves unless read-only, closes and forgets the history. Safe on a closed object. */
    void EditClose();
    bool IsOpen() const { return fd_ >= 0; }

    int EditSeek(uint64_t offset);
    int EditDataSeek(uint64_t offset) { return EditSeek(uint64_t(dataOffset) + offset); }
    /** Bytes of sample data (file size - dataOffset); 0 when no file is open. */
    uint64_t EditDataLength() const;
    /** Reads up to `count` bytes at the file position; `done` is what was read (short only
        at the end of the file). 0, or -1 (reported) on a read error. */
    int EditRead(void* buffer, uint64_t count, uint64_t& done);
    /** Writes `count` bytes at the file position. 0, or -1 (reported) on a write error or
        when the file would grow past 4 GiB. */
    int EditWrite(const void* buffer, uint64_t count, uint64_t& done);

    /** Starts an append at the end of the file. 0 or -1. */
    int EditBeginData();
    /** Commits the append: fixes both size fields, flushes the data to the disk and returns
        the data range appended. 0 or -1. */
    int EditEndData(uint64_t& start, uint64_t& end);
    /** Abandons the append: cuts the file back to where it was committed. 0 or -1. */
    int EditEndData();
    /** Puts what an append has written so far on the disk, without committing it (the size
        fields stay as they were). A long append (a recording) calls it now and then so that a
        crash loses at most the audio since the last call. 0, or -1 (reported). */
    int EditFlush();
    /** Cuts the sample data to `length` bytes and rewrites both size fields. */
    bool EditTruncateData(uint64_t length);

    void EditGetFormat(uint32_t& rate, uint32_t& bits, uint32_t& chans) const;
    uint32_t EditGetLength(int i) const;
    /** Ignored while in Master view. */
    void EditSetLength(uint32_t value, int i);
    /** The mark triple of the current view (Master view or normal). */
    MarkTriple EditGetMarks() const { return masterMode ? header.master : header.normal; }
    void EditSetMarks(const MarkTriple& marks) { (masterMode ? header.master : header.normal) = marks; }
    void EditSetMasterMode(bool on) { masterMode = on; }
    bool EditIsMasterMode() const { return masterMode; }

    // History (edit_history.cpp).

    /** Pushes one step of `records` (all with groupSize == records.size()), clears the redo
        list and saves. On a failed save the step is taken off again. */
    bool EditPushStep(std::vector<EditRecord> records);
    /** Single-record form: groupSize is set to 1. */
    bool EditPushStep(uint32_t type, uint64_t position, const EditSegment& segment,
                      uint32_t flags = 0, const std::string& name = {});
    /** -1: Master view or nothing to undo; 1: the newest step is the base step; else the
        result of EditSave. */
    int EditUndo();
    /** -1: Master view or nothing to redo; else the result of EditSave. */
    int EditRedo();
    /** A marker id used by no marker segment of either list, and different from every id
        this object has handed out before. */
    uint32_t EditNewMarkerId();

    /** Bytes the header and both lists take in the program chunk. */
    uint64_t HistoryBytes() const;
    /** errno of the last failed system call (kept for callers that explain a failed open). */
    int LastSystemError() const { return lastError_; }

private:
    bool CreateFile(const std::string& filePath);
    bool OpenExisting(const std::string& filePath, bool openReadOnly);
    bool ReadLayout();
    bool ReadHistory(const std::vector<uint8_t>& chunk, uint32_t recordsStart);
    /** Steps taken off each list on open. */
    struct HistoryCut
    {
        size_t undoSteps = 0;
        size_t redoSteps = 0;
        bool Empty() const { return undoSteps == 0 && redoSteps == 0; }
    };
    HistoryCut DropRecordsPastData();
    bool KeepCutHistory(const std::vector<uint8_t>& chunk, const HistoryCut& cut);
    /** Writes `image` at the start of the program chunk and flushes it. 0 or errno. */
    int WriteHistoryInPlace(const std::vector<uint8_t>& image, uint64_t& written);
    uint64_t FileSize() const;
    int WriteAt(uint64_t offset, const void* bytes, uint64_t count);
    int WriteSizeFields(uint64_t fileSize);

    int fd_ = -1;
    int lastError_ = 0;
    uint32_t lastMarkerId_ = 0;
    bool hasIssuedMarkerId_ = false;
};

/** Makes [start, end) of the data chunk the whole Edit: the three lengths become its
    duration and the base step (an insert at 0 that cannot be undone) is pushed. False when
    the step cannot be saved. */
bool PushBaseStep(EditFile& edit, uint64_t start, uint64_t end);

/** True when a step of either list places audio from the data chunk beyond its first
    `dataLength` bytes. */
bool HistoryRefersPast(const EditFile& edit, uint64_t dataLength);

} // namespace tandrel
