#pragma once
#include <string>
#include <vector>

namespace tandrel {

/** The places shown in the sidebar of the program's own file dialogs, Library first: the
    Library folder, the desktop, the documents folder, the home folder and the root of the
    file system. Folders that are missing or repeat an earlier entry are left out; so is the
    Library before the storage folder is known. The user's own places are the toolkit's and
    are not touched. Any thread. */
std::vector<std::string> FileDialogPlaces();

} // namespace tandrel
