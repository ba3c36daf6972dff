#pragma once
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "base/progress.h"
#include "library/edit_info.h"
#include "library/edit_map_layout.h"

namespace tandrel {

// The Library database: every account folder holds KD_EMap.kdd listing its Edits with the
// facts that lists and dialogs show without opening each Edit. It is a cache: it is rebuilt
// from the Edit files whenever it is missing, empty, of another version or damaged. In memory
// each open database is an EditMap, shared by reference count among its users in this process
// and held exclusively against other processes while it lives; changes are written back whole
// when the last user releases it.
//
// Thread use: the user-interface thread and the auto-import thread both use maps. The table of
// open maps and each map have their own locks, so every function below may be called from any
// thread. One enumeration runs at a time per map (a MapFirst restarts it).

/** Where a Library lives: its folder (the storage folder's "Tandrel Library") and the part
    naming the user inside it ("KDUser"). The account folders are root/part/account; with an
    empty part they sit in the root itself. */
struct LibraryLocation
{
    std::string root;
    std::string part;
};

/** The folder of `account`: root/part/account. */
std::string AccountFolderPath(const LibraryLocation& location, const std::string& account);
/** The database of `account`: its folder followed by "/KD_EMap.kdd". */
std::string EditMapPath(const LibraryLocation& location, const std::string& account);

/** The in-memory database of one account folder. Read its fields only while no other thread
    can use the map; change them only through the functions below. */
struct EditMap
{
    uint32_t refCount = 0; // guarded by the table of open maps
    bool isOpen = false;
    bool dirty = false;
    bool enumerating = false;
    int handle = -1; // the database file, locked while the map lives
    std::string filePath;
    std::string accountName;
    std::string libraryRoot;
    std::string libraryPart;
    EditMapTable entries;
    struct
    {
        size_t bucket = 0;
        size_t index = 0;
    } enumPosition;
    // A rebuild reads the folder without the lock; the changes made meanwhile are kept here
    // and made again on what it read.
    struct Change
    {
        enum Kind { Add, Update, Remove } kind;
        std::string title;
        EditInfo info;
    };
    int rebuildsReading = 0;
    std::vector<Change> changesWhileRebuilding;
    std::mutex lock; // guards everything but refCount
};

/** The map of `account` in `location`: the one already open in this process (its reference
    count raised), or a new one read from the database file, which is rebuilt from the Edits
    when missing, empty, of another version or damaged. While another program holds the file,
    waits through 16 attempts (about 4.5 s) before giving up. The rebuild shows its progress
    in a window of `progressKind`; worker threads pass kProgressSilent. The Edits are read
    while the folder's map is not listed and its file not held, so that what the progress
    window's event loop runs may open the same map meanwhile. Null on failure,
    reported ("GetEditMap: Unable to open file database for account %s."). */
EditMap* GetEditMap(const LibraryLocation& location, const std::string& account,
                    int progressKind = kProgressForeground);

/** Lowers the reference count; the last release writes the database back when it changed,
    closes it and destroys the map. False when the map is not one GetEditMap returned, or the
    write-back failed (the database on disk is then the previous one, whole). */
bool ReleaseEditMap(EditMap* map);

/** False when the map is not open or the title is absent. */
bool MapLookup(EditMap* map, const std::string& title, EditInfo& info);
/** Adds the title unless present; a present title keeps its facts and the call still
    succeeds. False while enumerating, when the map is not open, or for a title longer than
    65535 bytes. */
bool MapAdd(EditMap* map, const EditInfo& info, const std::string& title);
/** Overwrites the facts of a present title. False when absent, while enumerating or not open. */
bool MapUpdate(EditMap* map, const EditInfo& info, const std::string& title);
/** Removes a present title. False when absent, while enumerating or not open. */
bool MapRemove(EditMap* map, const std::string& title);

/** Starts an enumeration in bucket order and gives its first entry. While it runs, MapAdd,
    MapUpdate and MapRemove fail; it ends when MapFirst or MapNext returns false. */
bool MapFirst(EditMap* map, EditInfo& info, std::string& title);
bool MapNext(EditMap* map, EditInfo& info, std::string& title);
/** Ends an enumeration before its last entry, so that changes are allowed again. */
void MapEndEnumeration(EditMap* map);

/** Rewrites the whole database file now (it is written at the last release anyway when
    changed). False when not open or the write failed; the file on disk is then unchanged. */
bool MapWrite(EditMap* map);

/** Deletes the database file of `account`. False while its map is open in this process,
    while another program holds it, or when it cannot be deleted; true when there is none. */
bool DeleteEditMapFile(const LibraryLocation& location, const std::string& account);

/** Builds the map's entries afresh from the Edit files ("*.kdw") of its folder and writes the
    database. The files are read without the map's lock (the progress window turns the event
    loop, which may use the map); what was added, updated or removed meanwhile is applied to
    what was read. False when not open, while enumerating (also one that began while the
    files were read), when the folder is missing (reported "RebuildMapFile: GetEditFldrPath
    fails.") or the file cannot be written. */
bool RebuildMapFile(EditMap* map, int progressKind = kProgressForeground);

/** Rebuilds the database of every account folder in the Library: deletes each file and opens
    its map again. Stops at a database in use, reported ("RebuildDatabaseFiles: Unable to
    access edit database for folder %s."). False when it stopped or any account failed. */
bool RebuildDatabaseFiles(const LibraryLocation& location, int progressKind = kProgressForeground);

} // namespace tandrel
