#include "settings/storage.h"

#include <unistd.h>

#include <iterator>
#include <mutex>

#include <QStandardPaths>

#include "platform/system/program_folder.h"
#include "settings/path_checks.h"
#include "settings/settings_store.h"

namespace tandrel {

namespace {

std::mutex storageLock;
std::string storageFolder;

std::string DocumentsFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation).toStdString();
}

const char* LastFolderName(LastFolder which)
{
    return which == LastFolder::Import ? "LastImportFolder" : "LastExportFolder";
}

bool Writable(const std::string& folder)
{
    return access(folder.c_str(), W_OK | X_OK) == 0;
}

bool UsableFolder(const std::string& folder)
{
    return CreateFolderPath(folder) && Writable(folder);
}

} // namespace

std::string ResolveStorageFolder()
{
    std::string folder;
    if (!ReadSettingText(kSettingTwoAttempts, kProductKey, "FilesLocation", folder,
                         kSettingPathSize) ||
        folder.empty()) {
        const std::string documents = DocumentsFolder();
        folder = documents.empty() ? ProgramFolder() : documents + "/Tandrel";
    }
    if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

bool SetUpFileStorage()
{
    const std::string folder = ResolveStorageFolder();
    {
        std::lock_guard guard(storageLock);
        storageFolder = folder;
    }
    // The Library path creates the storage folder on its way. A folder that exists but
    // cannot be written to is no place for the user's work either.
    if (!UsableFolder(folder + "/" + kStorageSubfolderNames[0]) || !Writable(folder)) return false;
    for (size_t i = 1; i < std::size(kStorageSubfolderNames); ++i)
        if (!UsableFolder(folder + "/" + kStorageSubfolderNames[i])) return false;
    return true;
}

std::string StorageFolder()
{
    std::lock_guard guard(storageLock);
    return storageFolder;
}

void KeepStorageFolder(const std::string& folder)
{
    std::lock_guard guard(storageLock);
    storageFolder = folder;
}

std::string StoragePath(StorageSubfolder which)
{
    const std::string folder = StorageFolder();
    if (folder.empty()) return {};
    return folder + "/" + kStorageSubfolderNames[int(which)];
}

bool GetLibraryFolder(std::string& path)
{
    std::string library = StoragePath(StorageSubfolder::Library);
    if (library.empty()) return false;
    path = std::move(library);
    return true;
}

bool ReadLastFolder(LastFolder which, std::string& folder)
{
    return ReadSettingText(kSettingTwoAttempts, kProductKey, LastFolderName(which), folder,
                           kSettingPathSize);
}

bool WriteLastFolder(LastFolder which, const std::string& folder)
{
    return WriteSettingText(kSettingTwoAttempts, kProductKey, LastFolderName(which),
                            folder.c_str());
}

} // namespace tandrel
