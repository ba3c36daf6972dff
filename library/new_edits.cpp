#include "library/new_edits.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "audio/default_formats.h"
#include "base/interaction.h"
#include "library/edit_info.h"
#include "library/file_copy.h"
#include "library/library_moves.h"
#include "library/library_names.h"
#include "settings/path_checks.h"
#include "settings/setting_defaults.h"
#include "settings/storage.h"

namespace tandrel {

namespace {

constexpr const char* kTempEditName = "KD4TempEdit.kdw";

} // namespace

std::string TempEditPath()
{
    std::string library;
    if (!GetLibraryFolder(library)) return {};
    return library + "/" + kTempEditName;
}

AudioFormat RecordingFormat() { return DefaultFormatRecord(int(ReadNumberSetting("DefaultFormat"))); }

std::string DefaultEditTitle()
{
    std::string title = ReadTextSetting("DefaultFileName");
    return title.empty() ? "Untitled" : title;
}

namespace {

/** Deletes an old temporary Edit unless it is still wanted: one that is open (a recording
    is being written into it) or that holds audio (a recording waiting to be saved). */
bool ClearOldTempEdit(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT;
    struct stat info{};
    bool cleared = ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &info) == 0 &&
                   uint64_t(info.st_size) <= kDataOffset;
    // Unlinked while locked, so that no recording can take it up in between.
    cleared = cleared && ::unlink(path.c_str()) == 0;
    ::close(fd);
    return cleared;
}

} // namespace

std::unique_ptr<EditFile> MakeTempEdit(std::string& path)
{
    path = TempEditPath();
    if (path.empty() || !ClearOldTempEdit(path)) return nullptr;
    auto edit = std::make_unique<EditFile>();
    AudioFormat format = RecordingFormat();
    edit->channels = format.channels;
    edit->sampleRate = format.sampleRate;
    edit->bitsPerSample = format.bitsPerSample;
    return edit;
}

bool AskForNewTitle(const Account& account, std::string& title)
{
    for (;;) {
        std::optional<std::string> answer = PromptText("Tandrel", "Name of the new Edit:", title);
        if (!answer) return false;
        if (!ValidateName(*answer, "Filenames")) continue;
        if (::access(account.EditPath(*answer).c_str(), F_OK) == 0) {
            MessageDialog("Sorry", "An Edit already exists with that name.  Please choose another.");
            continue;
        }
        title = *answer;
        return true;
    }
}

bool SaveNewEdit(const std::string& tempPath, const Account& account, const std::string& title)
{
    CreateFolderPath(account.Folder());
    const std::string finalPath = account.EditPath(title);
    int error = MoveWithoutReplacing(tempPath, finalPath);
    if (error == 0) return true;
    if (error != EXDEV) {
        ReportError("SaveNewEdit: Error (%d) moving file %s.", error, title.c_str());
        return false;
    }
    // Another file system: copy, then remove the temporary Edit once the copy is whole.
    CopyResult copied = CopyFileWithProgress(tempPath, finalPath, "Copying " + title + "...", error);
    if (copied == CopyResult::Failed) ReportError("SaveNewEdit: CopyFileEx fails (%x).", unsigned(error));
    if (copied != CopyResult::Copied) return false;
    ::unlink(tempPath.c_str());
    return true;
}

bool AddToDatabase(const Account& account, const std::string& path, const std::string& title)
{
    EditInfo info;
    if (!GetEditInfo(path, info)) return false;
    EditMap* map = GetEditMap(account.location, account.name);
    if (!map) return false;
    bool added = MapAdd(map, info, title);
    return ReleaseEditMap(map) && added;
}

bool UpdateInDatabase(const Account& account, const std::string& path)
{
    const std::string title = TitleFromPath(path);
    EditInfo info;
    if (account.EditPath(title) != path || !GetEditInfo(path, info)) return false;
    EditMap* map = GetEditMap(account.location, account.name);
    if (!map) return false;
    bool updated = MapUpdate(map, info, title);
    return ReleaseEditMap(map) && updated;
}

bool NewEdit(EditView& source, const Account& account, bool fromSelection, bool forEffect)
{
    if (!source.edit.IsOpen() || (fromSelection && !source.HasSelection())) return false;
    std::string tempPath;
    std::unique_ptr<EditFile> target = MakeTempEdit(tempPath);
    if (!target || !target->EditOpen(tempPath, true, false)) {
        ReportError(forEffect ? "NewEdit: Unable to create new file for FX processing."
                              : "NewEdit: Unable to create new file for recording.");
        if (target) ::unlink(tempPath.c_str());
        return false;
    }
    if (target->EditBeginData() != 0) {
        ReportError(forEffect ? "NewEdit: Unable to prepare file for FX processing."
                              : "NewEdit: Unable to prepare file for recording.");
        target->EditClose();
        ::unlink(tempPath.c_str());
        return false;
    }

    const MarkTriple kept{source.cursor, source.leftMark, source.rightMark};
    if (!fromSelection) {
        source.leftMark = 0;
        source.rightMark = source.length;
    }
    source.SetCursor(std::min(source.leftMark, source.rightMark), true);
    const EditView::CopyTexts texts{
        "NewEdit: Error initializing format conversion structure.  Aborting...",
        forEffect ? "Transforming selection..." : "Making New Edit..."};
    uint64_t start = 0, end = 0;
    bool ok = source.WriteSelectionToEdit(*target, start, end, texts) == 0 &&
              !source.copyCancelled && end > start;
    if (ok) ok = PushBaseStep(*target, start, end);
    source.leftMark = kept.leftMark;
    source.rightMark = kept.rightMark;
    source.SetCursor(kept.cursor, true);
    target->EditClose();
    std::string title = DefaultEditTitle();
    if (!ok || !AskForNewTitle(account, title)) {
        ::unlink(tempPath.c_str());
        return false;
    }
    if (!SaveNewEdit(tempPath, account, title)) return false;
    return AddToDatabase(account, account.EditPath(title), title);
}

bool NewEmptyEdit(EditorSlot& editor, const Account& account)
{
    std::string tempPath;
    std::unique_ptr<EditFile> edit = MakeTempEdit(tempPath);
    if (!edit || !edit->EditOpen(tempPath, true, false)) {
        if (edit) ::unlink(tempPath.c_str());
        ReportError("NewEdit: Unable to create new Edit file.");
        return false;
    }
    edit->EditClose();
    std::string title = DefaultEditTitle();
    if (!AskForNewTitle(account, title)) {
        ::unlink(tempPath.c_str());
        return false;
    }
    if (!SaveNewEdit(tempPath, account, title)) return false;
    AddToDatabase(account, account.EditPath(title), title);
    return LoadEdit(editor, account, title, true);
}

} // namespace tandrel
