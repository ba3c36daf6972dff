#include "recording/recording_recovery.h"

#include <unistd.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "base/file_io.h"
#include "base/interaction.h"
#include "edit/edit_file.h"
#include "library/library_account.h"
#include "library/new_edits.h"
#include "recording/recording_journal.h"
#include "recording/recording_titles.h"

namespace tandrel {

namespace {

constexpr uint64_t kCopyChunkBytes = 1 << 20;

uint32_t FrameBytes(const EditFile& edit)
{
    return std::max<uint32_t>(edit.channels * (edit.bitsPerSample / 8), 1);
}

/** Moves the finished temporary Edit into the active account under a "Recovered ..." title
    and tells the person. The new path, or empty. */
std::string SaveRecovered(const std::string& tempPath, const std::string& prefix)
{
    Account account;
    if (!ActiveAccount(account)) return {};
    const std::string title = DefaultRecordingTitle(account, prefix);
    if (!SaveNewEdit(tempPath, account, title)) return {};
    const std::string path = account.EditPath(title);
    AddToDatabase(account, path, title);
    MessageDialog(kRecoveredTitle, RecoveredText(title));
    return path;
}

/** Copies [from, from + count) of `source`'s data into `target`'s append. */
bool CopyData(EditFile& source, uint64_t from, uint64_t count, EditFile& target)
{
    std::vector<uint8_t> buffer(std::min(count, kCopyChunkBytes));
    for (uint64_t done = 0; done < count;) {
        const uint64_t want = std::min<uint64_t>(buffer.size(), count - done);
        uint64_t got = 0, written = 0;
        if (source.EditDataSeek(from + done) != 0 || source.EditRead(buffer.data(), want, got) != 0 ||
            got != want || target.EditWrite(buffer.data(), got, written) != 0 || written != got)
            return false;
        done += got;
    }
    return true;
}

} // namespace

std::string RecoveredText(const std::string& title)
{
    return "A recording was interrupted before it could be saved.  Its audio is now in the Edit \"" +
           title + "\".";
}

std::string RecoverLeftoverTempEdit()
{
    const std::string path = TempEditPath();
    if (path.empty() || !PathExists(path)) return {};
    EditFile edit;
    // A temporary Edit in use by another copy of the program is locked and left alone.
    if (!edit.EditOpen(path, false, false)) return {};
    const uint64_t complete = edit.EditDataLength() / FrameBytes(edit) * FrameBytes(edit);
    if (complete == 0) {
        // No audio: nothing worth keeping, and it would stand in the way of the next one.
        edit.EditClose();
        ::unlink(path.c_str());
        return {};
    }
    if (edit.undo.empty()) {
        // Closed as the end of a recording closes it: both size fields written and the data
        // on the disk, so that the file is a whole WAV before the base step points into it.
        if (!edit.EditTruncateData(complete) || !PushBaseStep(edit, 0, complete)) return {};
    }
    edit.EditClose();
    return SaveRecovered(path, "Recovered recording");
}

std::string RecoverInsertRecording()
{
    const std::optional<InsertRecordingNote> note = ReadInsertRecordingNote();
    if (!note) return {};
    EditFile edit;
    if (!edit.EditOpen(note->editPath, false, false)) {
        if (!PathExists(note->editPath)) RemoveInsertRecordingNote(); // the Edit is gone
        return {};
    }
    const uint64_t committed = note->committedDataLength;
    const uint64_t length = edit.EditDataLength();
    // Nothing past the committed data, or the insert step made it into the history.
    if (length <= committed || HistoryRefersPast(edit, committed)) {
        RemoveInsertRecordingNote();
        return {};
    }
    const uint64_t complete = (length - committed) / FrameBytes(edit) * FrameBytes(edit);
    std::string saved;
    if (complete > 0) {
        // The copy goes through the temporary Edit; one that is still there holds audio of
        // its own that could not be saved, and must not be replaced.
        if (PathExists(TempEditPath())) return {};
        std::string tempPath;
        std::unique_ptr<EditFile> target = MakeTempEdit(tempPath);
        if (!target) return {};
        target->channels = edit.channels;
        target->sampleRate = edit.sampleRate;
        target->bitsPerSample = edit.bitsPerSample;
        uint64_t start = 0, end = 0;
        const bool copied = target->EditOpen(tempPath, true, false) && target->EditBeginData() == 0 &&
                            CopyData(edit, committed, complete, *target) &&
                            target->EditEndData(start, end) == 0 && PushBaseStep(*target, start, end);
        target->EditClose();
        if (copied) saved = SaveRecovered(tempPath, "Recovered insert recording");
        if (saved.empty()) {
            // Keep the Edit and the note as they are so that nothing is lost; try again next time.
            ::unlink(tempPath.c_str());
            return {};
        }
    }
    edit.EditTruncateData(committed);
    edit.EditClose();
    RemoveInsertRecordingNote();
    return saved;
}

std::vector<std::string> RecoverInterruptedRecordings()
{
    std::vector<std::string> made;
    for (const std::string& path : {RecoverLeftoverTempEdit(), RecoverInsertRecording()})
        if (!path.empty()) made.push_back(path);
    return made;
}

} // namespace tandrel
