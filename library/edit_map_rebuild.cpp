// Rebuilding databases from the Edit files themselves: one account, or the whole Library.

#include <string>
#include <vector>

#include "base/file_io.h"
#include "base/file_names.h"
#include "base/interaction.h"
#include "library/database_file.h"
#include "library/edit_map_internal.h"
#include "library/library_names.h"

namespace tandrel {

bool ScanAccountFolder(const LibraryLocation& location, const std::string& account,
                       int progressKind, EditMapTable& fresh)
{
    if (location.root.empty() || account.empty() || !IsFolder(location.root)) return false;
    const std::string folder = AccountFolderPath(location, account);
    std::vector<std::string> files;
    if (!IsFolder(folder) || !ListFolder(folder, FolderEntry::EditFile, files)) {
        ReportError("RebuildMapFile: GetEditFldrPath fails.");
        return false;
    }

    // The progress window belongs to the user-interface thread: a worker asks for none.
    ProgressWindow* progress = nullptr;
    if (!files.empty() && progressKind != kProgressSilent) {
        progress = AcquireProgress(progressKind);
        if (progress && OpenProgress(progress, 1, false)) {
            const std::string where =
                location.part.empty() ? account : location.part + "/" + account;
            ProgressText(progress, "Rebuilding file database for " + where);
        }
    }

    fresh.Clear();
    for (size_t i = 0; i < files.size(); ++i) {
        EditInfo info;
        if (GetEditInfo(folder + "/" + files[i], info))
            fresh.Set(TitleFromPath(files[i]), info);
        if (progress) ProgressPercent(progress, int((i + 1) * 100 / files.size()));
    }
    if (progress) ReleaseProgress(progressKind);
    return true;
}

bool InstallEntries(EditMap& map, EditMapTable fresh)
{
    map.entries = std::move(fresh);
    const bool ok = ReplaceDatabase(map.filePath, EncodeEditMap(map.entries), map.handle);
    if (!ok) map.dirty = true;
    return ok;
}

bool RebuildDatabaseFiles(const LibraryLocation& location, int progressKind)
{
    std::vector<std::string> accounts;
    const std::string library = AccountFolderPath(location, "");
    if (location.root.empty() || !ListFolder(library, FolderEntry::Folder, accounts)) return false;
    bool ok = true;
    for (const std::string& account : accounts) {
        if (!DeleteEditMapFile(location, account)) {
            ReportError("RebuildDatabaseFiles: Unable to access edit database for folder %s.",
                        account.c_str());
            return false;
        }
        // Opening the map rebuilds the deleted file.
        EditMap* map = GetEditMap(location, account, progressKind);
        ok = map && ReleaseEditMap(map) && ok;
    }
    return ok;
}

} // namespace tandrel
