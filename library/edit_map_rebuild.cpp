// Rebuilding databases from the Edit files themselves: one account, or the whole Library.

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "base/file_io.h"
#include "base/interaction.h"
#include "library/database_file.h"
#include "library/edit_map_internal.h"

namespace tandrel {

namespace {

constexpr const char kEditExtension[] = ".kdw";
constexpr size_t kEditExtensionLength = sizeof kEditExtension - 1;

enum class EntryKind
{
    EditFile,
    Folder
};

// The names in `folder` of the given kind (links followed), sorted so that a rebuild writes
// the same database whatever order the file system lists them in. False when the folder
// cannot be read.
bool ListFolder(const std::string& folder, EntryKind kind, std::vector<std::string>& names)
{
    names.clear();
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return false;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        if (kind == EntryKind::EditFile &&
            (name.size() < kEditExtensionLength ||
             name.compare(name.size() - kEditExtensionLength, kEditExtensionLength,
                          kEditExtension) != 0))
            continue;
        struct stat st;
        if (::fstatat(::dirfd(dir), name.c_str(), &st, 0) != 0) continue;
        if (kind == EntryKind::EditFile ? S_ISREG(st.st_mode) : S_ISDIR(st.st_mode))
            names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return true;
}

} // namespace

bool ScanAccountFolder(const LibraryLocation& location, const std::string& account,
                       int progressKind, EditMapTable& fresh)
{
    if (location.root.empty() || account.empty() || !IsFolder(location.root)) return false;
    const std::string folder = AccountFolderPath(location, account);
    std::vector<std::string> files;
    if (!IsFolder(folder) || !ListFolder(folder, EntryKind::EditFile, files)) {
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
            fresh.Set(files[i].substr(0, files[i].size() - kEditExtensionLength), info);
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
    if (location.root.empty() || !ListFolder(library, EntryKind::Folder, accounts)) return false;
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
