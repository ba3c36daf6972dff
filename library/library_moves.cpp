#include "library/library_moves.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/interaction.h"
#include "library/edit_info.h"
#include "library/file_copy.h"
#include "library/library_names.h"
#include "library/new_edits.h"
#include "settings/path_checks.h"

namespace tandrel {

namespace {

std::string lastDeletedPath; // the Edit Restore Deleted File brings back first

// Moves the database entry of `fromTitle` in `from` to `toTitle` in `to`.
void MoveEntry(const Account& from, const std::string& fromTitle, const Account& to,
               const std::string& toTitle)
{
    EditInfo info;
    bool known = false;
    if (EditMap* map = GetEditMap(from.location, from.name)) {
        known = MapLookup(map, fromTitle, info);
        MapRemove(map, fromTitle);
        ReleaseEditMap(map);
    }
    if (!known && !GetEditInfo(to.EditPath(toTitle), info)) return;
    if (EditMap* map = GetEditMap(to.location, to.name)) {
        MapAdd(map, info, toTitle);
        ReleaseEditMap(map);
    }
}

// The deleted Edit moved there last: the one remembered, else the newest arrival (a move
// sets a file's change time).
std::string NewestDeleted(const Account& deleted)
{
    if (!lastDeletedPath.empty() && ::access(lastDeletedPath.c_str(), F_OK) == 0) return lastDeletedPath;
    std::string newest;
    struct timespec newestTime{};
    std::vector<std::string> names;
    if (!ListFolder(deleted.Folder(), FolderEntry::EditFile, names)) return {};
    for (const std::string& name : names) {
        std::string path = deleted.Folder() + "/" + name;
        struct stat info;
        if (::stat(path.c_str(), &info) != 0) continue;
        if (newest.empty() || info.st_ctim.tv_sec > newestTime.tv_sec ||
            (info.st_ctim.tv_sec == newestTime.tv_sec && info.st_ctim.tv_nsec > newestTime.tv_nsec)) {
            newest = path;
            newestTime = info.st_ctim;
        }
    }
    return newest;
}

} // namespace

bool LoadEdit(EditorSlot& editor, const Account& account, const std::string& title, bool refresh,
              bool quiet)
{
    const std::string path = account.EditPath(title);
    int error = 0;
    bool loaded = editor.OpenInEditor(path, error);
    if (!loaded && !quiet) {
        const std::string holder = editor.PlayerHolding(path);
        if (!holder.empty())
            MessageDialog("Unable to Load File",
                          "This file is already loaded in a " + holder +
                              " button.\n\nIf you right-click on the button, you have the option "
                              "to clear it, or to load the file into the editor.");
        else
            MessageDialog("File Error", "LoadEdit: Error (" + std::to_string(error) +
                                            ") loading file: " + title + ".");
    }
    if (refresh) editor.Refresh();
    return loaded;
}

RenameResult RenameFile(EditorSlot& editor, const Account& account, const std::string& newTitle)
{
    const std::string oldPath = editor.ActivePath();
    if (oldPath.empty()) return RenameResult::Failed;
    if (!ValidateName(newTitle, "Filenames")) return RenameResult::Refused;
    const std::string oldTitle = TitleFromPath(oldPath);
    const std::string newPath = account.EditPath(newTitle);
    editor.CloseEditor();
    int error = MoveWithoutReplacing(oldPath, newPath);
    int ignored = 0;
    if (error != 0) {
        editor.OpenInEditor(oldPath, ignored);
        if (error == EEXIST) {
            MessageDialog("Sorry", "A file with that name already exists.  Please choose another.");
            return RenameResult::Refused;
        }
        ReportError("RenameFile: Error (%d) renaming file %s.", error, oldTitle.c_str());
        return RenameResult::Failed;
    }
    MoveEntry(account, oldTitle, account, newTitle);
    if (!editor.OpenInEditor(newPath, ignored)) {
        ReportError("RenameFile: Unable to load Edit file after rename.");
        return RenameResult::Failed;
    }
    editor.Refresh();
    return RenameResult::Renamed;
}

bool RenameActiveEdit(EditorSlot& editor, const Account& account)
{
    std::string title = TitleFromPath(editor.ActivePath());
    for (;;) {
        std::optional<std::string> answer = PromptText("Tandrel", "New name of the Edit:", title);
        if (!answer) return false;
        RenameResult result = RenameFile(editor, account, *answer);
        if (result != RenameResult::Refused) return result == RenameResult::Renamed;
        title = *answer;
    }
}

bool CopySelectedFiles(const Account& account, const std::vector<std::string>& titles)
{
    bool allCopied = true;
    for (const std::string& title : titles) {
        const std::string copy = MakeCopyName(account.Folder(), title, ".kdw");
        int error = 0;
        CopyResult result =
            CopyFileWithProgress(account.EditPath(title), copy, "Copying " + title + "...", error);
        if (result == CopyResult::Cancelled) return false;
        if (result == CopyResult::Failed) {
            ReportError("CopySelectedFiles: Error (%x) copying file %s.", unsigned(error), title.c_str());
            allCopied = false;
            continue;
        }
        AddToDatabase(account, copy, TitleFromPath(copy));
    }
    return allCopied;
}

bool DeleteActiveFile(EditorSlot& editor, const Account& account)
{
    const std::string path = editor.ActivePath();
    if (path.empty()) return false;
    const std::string title = TitleFromPath(path);
    editor.CloseEditor();
    int error = MoveToDeletedFiles(account, title);
    if (error != 0) {
        int ignored = 0;
        editor.OpenInEditor(path, ignored);
        ReportError("DeleteActiveFile: Error (%d) moving file %s.", error, title.c_str());
        return false;
    }
    editor.Refresh();
    return true;
}

bool DeleteLibraryEdits(EditorSlot& editor, const Account& account,
                        const std::vector<std::string>& titles)
{
    bool allDeleted = true;
    for (const std::string& title : titles) {
        if (editor.ActivePath() == account.EditPath(title)) {
            allDeleted = DeleteActiveFile(editor, account) && allDeleted;
            continue;
        }
        if (!editor.PlayerHolding(account.EditPath(title)).empty()) {
            MessageDialog("Sorry", "\"" + title + "\" is loaded in a player and cannot be deleted.");
            allDeleted = false;
            continue;
        }
        if (int error = MoveToDeletedFiles(account, title); error != 0) {
            ReportError("DeleteLibraryEdits: Error (%d) moving file %s.", error, title.c_str());
            allDeleted = false;
        }
    }
    editor.Refresh();
    return allDeleted;
}

int MoveToDeletedFiles(const Account& account, const std::string& title)
{
    const Account deleted = DeletedFilesOf(account);
    CreateFolderPath(deleted.Folder());
    const std::string keptTitle = UniqueTitle(deleted.Folder(), title, ".kdw");
    if (int error = MoveWithoutReplacing(account.EditPath(title), deleted.EditPath(keptTitle)))
        return error;
    MoveEntry(account, title, deleted, keptTitle);
    lastDeletedPath = deleted.EditPath(keptTitle);
    return 0;
}

bool DeletedFileAvailable(const Account& account)
{
    return !NewestDeleted(DeletedFilesOf(account)).empty();
}

bool RestoreDeletedFile(EditorSlot& editor, const Account& account)
{
    const Account deleted = DeletedFilesOf(account);
    const std::string path = NewestDeleted(deleted);
    if (path.empty()) return false;
    const std::string deletedTitle = TitleFromPath(path);
    CreateFolderPath(account.Folder());
    const std::string title = UniqueTitle(account.Folder(), deletedTitle, ".kdw");
    int error = MoveWithoutReplacing(path, account.EditPath(title));
    if (error != 0) {
        ReportError("RestoreDeletedFile: Error (%d) moving file %s.", error, deletedTitle.c_str());
        return false;
    }
    MoveEntry(deleted, deletedTitle, account, title);
    lastDeletedPath.clear();
    return LoadEdit(editor, account, title, true);
}

bool EmptyDeletedFilesFolder(const Account& account)
{
    if (MessageDialog("Empty Deleted Files Folder",
                      "Delete every Edit in the Deleted Files folder for good?",
                      MessageButtons::YesNo) != MessageAnswer::Yes)
        return false;
    const Account deleted = DeletedFilesOf(account);
    std::vector<std::string> doomed;
    if (!ListFolder(deleted.Folder(), FolderEntry::EditFile, doomed))
        return true; // nothing was ever deleted
    bool ok = true;
    for (const std::string& name : doomed)
        ok = ::unlink((deleted.Folder() + "/" + name).c_str()) == 0 && ok;
    ok = DeleteEditMapFile(deleted.location, deleted.name) && ok;
    lastDeletedPath.clear();
    return ok;
}

} // namespace tandrel
