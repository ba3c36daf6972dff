#include "settings/file_locations.h"

#include "base/interaction.h"
#include "settings/settings_store.h"
#include "settings/storage.h"

namespace tandrel {

namespace {

constexpr const char* kFilesLocation = "FilesLocation";
// The kept value is put back as it was, however long, so a cancel never loses it.
constexpr size_t kKeepAnyLength = size_t(1) << 20;

} // namespace

std::string FileLocationsDialog::Open()
{
    hadLocation_ = ReadSettingText(kSettingTwoAttempts, kProductKey, kFilesLocation, keptLocation_,
                                   kKeepAnyLength);
    if (!hadLocation_) keptLocation_.clear();
    const std::string shown = StorageFolder();
    return shown.empty() ? ResolveStorageFolder() : shown;
}

void FileLocationsDialog::RestoreKeptLocation()
{
    if (hadLocation_)
        WriteSettingText(kSettingTwoAttempts, kProductKey, kFilesLocation, keptLocation_.c_str());
    else
        DeleteSettingValue(kSettingTwoAttempts, kProductKey, kFilesLocation);
}

bool FileLocationsDialog::Ok(const std::string& pathField)
{
    if (pathField.size() < 2) {
        MessageDialog("Oops!", "Please enter a valid path for the location of your Tandrel files.");
        return false;
    }
    std::string path = pathField;
    if (path.back() == '/') path.pop_back();
    // Unless the new location is stored, setting it up would quietly set up the old one and
    // the dialog would close as if the move had worked.
    if (!WriteSettingText(kSettingTwoAttempts, kProductKey, kFilesLocation, path.c_str())) {
        ReportError("FileLocations: Unable to store the location %s.", path.c_str());
        return false;
    }
    // A path too long to be read back as FilesLocation would set up the default folder
    // instead: that is a failure too, not a move.
    if (SetUpFileStorage() && StorageFolder() == path) return true;
    MessageDialog("Error Setting File Location", "Unable to create subfolders in " + path + ".");
    RestoreKeptLocation();
    KeepStorageFolder(ResolveStorageFolder());
    return false;
}

bool FileLocationsDialog::Cancel()
{
    RestoreKeptLocation();
    if (SetUpFileStorage()) return true;
    const std::string folder = StorageFolder();
    if (folder.empty())
        MessageDialog("Access Error",
                      "Please specify a location where Tandrel may store the files that you "
                      "create.");
    else
        MessageDialog("Access Error", "Read/Write permission is denied in folder: " + folder +
                                          ".  Please specify a location where Tandrel may "
                                          "store the files that you create.");
    return false;
}

} // namespace tandrel
