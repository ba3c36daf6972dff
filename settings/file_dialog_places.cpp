#include "settings/file_dialog_places.h"

#include <algorithm>

#include <QDir>
#include <QStandardPaths>

#include "base/file_io.h"
#include "settings/storage.h"

namespace tandrel {

namespace {

std::string Location(QStandardPaths::StandardLocation location)
{
    return QStandardPaths::writableLocation(location).toStdString();
}

} // namespace

std::vector<std::string> FileDialogPlaces()
{
    std::string library;
    GetLibraryFolder(library);
    const std::string candidates[] = {
        library,
        Location(QStandardPaths::DesktopLocation),
        Location(QStandardPaths::DocumentsLocation),
        QDir::homePath().toStdString(),
        "/",
    };
    std::vector<std::string> places;
    for (const std::string& place : candidates)
        if (IsFolder(place) && std::find(places.begin(), places.end(), place) == places.end())
            places.push_back(place);
    return places;
}

} // namespace tandrel
