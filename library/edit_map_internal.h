#pragma once
// Shared by the files of the Library database; not for other subsystems.
#include "library/edit_map.h"

namespace tandrel {

/** The account folder of an open or opening map. */
std::string MapFolder(const EditMap& map);

/** RebuildMapFile on a map whose lock the caller holds (or that no other thread can see yet).
    Takes the database file itself when the map holds none. */
bool RebuildLocked(EditMap& map, int progressKind);

} // namespace tandrel
