#pragma once
#include <string>

namespace tandrel {

// The storage folder: every file the program creates lives below it, in five fixed
// subfolders. Its path is the setting FilesLocation when that is set, else the user's
// documents folder followed by "/Tandrel" (the program's own folder when there is no
// documents folder). SetUpFileStorage resolves it and keeps it for the whole process.

enum class StorageSubfolder
{
    Library,
    ExportedPodcasts,
    RssFiles,
    Profiles,
    Configurations
};

/** The subfolder names, in the order they are created. */
inline constexpr const char* kStorageSubfolderNames[] = {
    "Tandrel Library", "Exported Podcasts", "RSS Files", "Profiles", "Configurations",
};

/** The folder FilesLocation names (missing or empty: the default above), without a trailing
    '/'; nothing is created. Any thread. */
std::string ResolveStorageFolder();

/** Resolves the storage folder, keeps it, and creates it with its five subfolders in order,
    stopping at the first that fails. True only when all six folders exist and can be
    written to afterwards. Never reports. UI thread. */
bool SetUpFileStorage();

/** The storage folder kept by the last SetUpFileStorage (or the File Locations dialog);
    empty before the first. Any thread. */
std::string StorageFolder();

/** Replaces the kept storage folder without touching the disk: the File Locations dialog
    puts the old one back when the new one cannot be used. Any thread. */
void KeepStorageFolder(const std::string& folder);

/** The storage folder followed by "/" and the subfolder's name; empty before the storage
    folder is known. Any thread. */
std::string StoragePath(StorageSubfolder which);

/** The Library root (storage folder + "/Tandrel Library"). False before the storage folder
    is known. Any thread. */
bool GetLibraryFolder(std::string& path);

/** Which remembered folder of the import and export dialogs. */
enum class LastFolder
{
    Import,
    Export
};

/** Reads LastImportFolder or LastExportFolder (up to 259 bytes). False when missing. */
bool ReadLastFolder(LastFolder which, std::string& folder);
/** Writes LastImportFolder or LastExportFolder. False when it could not. */
bool WriteLastFolder(LastFolder which, const std::string& folder);

} // namespace tandrel
