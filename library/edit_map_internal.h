#pragma once
// Shared by the files of the Library database; not for other subsystems.
#include "library/edit_map.h"

namespace tandrel {

/** The account folder of an open or opening map. */
std::string MapFolder(const EditMap& map);

/** Reads the facts of every Edit file of `account`'s folder into `fresh`, with progress in a
    window of `progressKind`. Runs with no lock of the Library held: the progress window and
    any error box turn the program's event loop, and what runs there may use the same map.
    False when the Library is missing, or the folder (reported "RebuildMapFile:
    GetEditFldrPath fails."). */
bool ScanAccountFolder(const LibraryLocation& location, const std::string& account,
                       int progressKind, EditMapTable& fresh);

/** Makes `fresh` the entries of a map whose lock the caller holds (or that no other thread
    can see yet) and writes the database. False when the write failed: the entries are then
    kept and written again when the map closes. */
bool InstallEntries(EditMap& map, EditMapTable fresh);

} // namespace tandrel
