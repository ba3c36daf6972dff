#include "library/edit_map.h"

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <new>
#include <optional>
#include <unistd.h>
#include <vector>

#include "base/interaction.h"
#include "library/database_file.h"
#include "library/edit_map_internal.h"
#include "settings/path_checks.h"

namespace tandrel {

namespace {

// Every map in use in this process. A map being opened or closed stays listed with isOpen
// clear, so that a second GetEditMap for its folder waits for it instead of racing it for the
// file.
std::mutex openMapsLock;
std::condition_variable openMapsChanged;
std::vector<std::unique_ptr<EditMap>> openMaps;

std::string JoinPath(const std::string& folder, const std::string& name)
{
    if (folder.empty()) return name;
    if (name.empty()) return folder;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

// Under openMapsLock.
EditMap* FindMap(const std::string& root, const std::string& part, const std::string& account)
{
    for (const auto& map : openMaps)
        if (map->libraryRoot == root && map->libraryPart == part && map->accountName == account)
            return map.get();
    return nullptr;
}

// Under openMapsLock.
void ForgetMap(EditMap* map)
{
    auto it = std::find_if(openMaps.begin(), openMaps.end(),
                           [map](const auto& held) { return held.get() == map; });
    if (it != openMaps.end()) openMaps.erase(it);
    openMapsChanged.notify_all();
}

enum class MapFileOpen
{
    Opened,
    NeedsRebuild, // nothing is held: the Edits are to be read and the open tried again
    Failed,
};

// Reads the database the map's folder holds. One that is missing, empty, of another version,
// damaged or implausibly large is rebuilt from `rebuilt`, the Edits' facts read beforehand;
// without them the file is let go of again (and removed when this open made it), since
// reading the Edits shows progress and must hold nothing. The map is not yet visible to
// other threads.
MapFileOpen OpenMapFile(EditMap& map, const EditMapTable* rebuilt)
{
    int fd = -1;
    bool created = false;
    switch (AcquireDatabase(map.filePath, /*create=*/true, fd, created)) {
    case DatabaseOpen::Locked:
        break;
    case DatabaseOpen::Missing:
        // No folder to make the file in: reading the Edits says so.
        return rebuilt ? MapFileOpen::Failed : MapFileOpen::NeedsRebuild;
    default:
        return MapFileOpen::Failed; // held by another program through every attempt, or unusable
    }
    map.handle = fd;
    if (!created) {
        std::vector<uint8_t> bytes;
        if (ReadDatabase(fd, kEditMapMaxFileSize, bytes) &&
            DecodeEditMap(bytes.data(), bytes.size(), map.entries) == EditMapReadResult::Ok)
            return MapFileOpen::Opened;
        // Empty, another version, or a record cut short (a disk that lost the end of the
        // file): the database is only a cache of the Edits' facts, so it is made again
        // rather than leaving the account without one.
        map.entries.Clear();
    }
    if (rebuilt && InstallEntries(map, *rebuilt)) return MapFileOpen::Opened;
    if (created) ::unlink(map.filePath.c_str()); // still ours: the lock is held
    CloseDatabase(map.handle);
    return rebuilt ? MapFileOpen::Failed : MapFileOpen::NeedsRebuild;
}

// Writes back when changed and closes the file. The map is no longer visible to users.
bool CloseMapFile(EditMap& map)
{
    std::lock_guard<std::mutex> hold(map.lock);
    bool ok = true;
    if (map.dirty && map.handle >= 0)
        ok = ReplaceDatabase(map.filePath, EncodeEditMap(map.entries), map.handle);
    map.dirty = false;
    CloseDatabase(map.handle);
    return ok;
}

// Under the map's lock, after a change: a rebuild reading the folder meanwhile makes it again
// on what it read.
void KeepForRebuilds(EditMap& map, EditMap::Change::Kind kind, const std::string& title,
                     const EditInfo& info)
{
    if (map.rebuildsReading > 0) map.changesWhileRebuilding.push_back({kind, title, info});
}

bool Advance(EditMap& map, EditInfo& info, std::string& title)
{
    auto& at = map.enumPosition;
    while (at.bucket < kEditMapBucketCount) {
        const std::vector<EditMapEntry>& bucket = map.entries.Bucket(at.bucket);
        if (at.index < bucket.size()) {
            info = bucket[at.index].info;
            title = bucket[at.index].title;
            ++at.index;
            return true;
        }
        ++at.bucket;
        at.index = 0;
    }
    map.enumerating = false;
    return false;
}

} // namespace

std::string AccountFolderPath(const LibraryLocation& location, const std::string& account)
{
    return JoinPath(JoinPath(WithoutTrailingSlashes(location.root), location.part), account);
}

std::string EditMapPath(const LibraryLocation& location, const std::string& account)
{
    return AccountFolderPath(location, account) + "/" + kEditMapFileName;
}

std::string MapFolder(const EditMap& map)
{
    return AccountFolderPath({map.libraryRoot, map.libraryPart}, map.accountName);
}

EditMap* GetEditMap(const LibraryLocation& location, const std::string& account, int progressKind)
{
    auto fail = [&account]() -> EditMap* {
        ReportError("GetEditMap: Unable to open file database for account %s.", account.c_str());
        return nullptr;
    };
    if (location.root.empty() || account.empty()) return fail();
    const std::string root = WithoutTrailingSlashes(location.root);
    const std::string part = WithoutTrailingSlashes(location.part);

    std::optional<EditMapTable> rebuilt; // the Edits' facts, once a rebuild has read them
    for (;;) {
        std::unique_lock<std::mutex> table(openMapsLock);
        for (EditMap* held; (held = FindMap(root, part, account)) != nullptr;) {
            if (held->isOpen) {
                ++held->refCount;
                return held;
            }
            openMapsChanged.wait(table); // another thread is opening or closing it
        }

        EditMap* map = nullptr;
        try {
            auto made = std::make_unique<EditMap>();
            made->libraryRoot = root;
            made->libraryPart = part;
            made->accountName = account;
            made->filePath = EditMapPath({root, part}, account);
            openMaps.push_back(std::move(made)); // listed with isOpen clear: others wait for it
            map = openMaps.back().get();
        } catch (const std::bad_alloc&) {
            table.unlock();
            ReportError("GetEditMap: Unable to allocate new edit map.");
            return nullptr;
        }
        table.unlock();

        // The file work runs outside the table's lock: maps of other folders stay usable
        // meanwhile.
        MapFileOpen opened = MapFileOpen::Failed;
        {
            std::lock_guard<std::mutex> hold(map->lock);
            opened = OpenMapFile(*map, rebuilt ? &*rebuilt : nullptr);
        }

        table.lock();
        if (opened == MapFileOpen::Opened) {
            {
                std::lock_guard<std::mutex> hold(map->lock);
                map->isOpen = true;
            }
            map->refCount = 1;
            openMapsChanged.notify_all();
            return map;
        }
        CloseDatabase(map->handle); // a rebuild that took the file but could not write it
        ForgetMap(map);
        table.unlock();
        if (opened == MapFileOpen::Failed) return fail();

        // Nothing is listed or held while the Edits are read: the progress window turns the
        // event loop, and a timer there may ask for this very map (it then reads the Edits
        // itself, and the open below finds its database).
        rebuilt.emplace();
        if (!ScanAccountFolder({root, part}, account, progressKind, *rebuilt)) return fail();
    }
}

bool ReleaseEditMap(EditMap* map)
{
    std::unique_lock<std::mutex> table(openMapsLock);
    auto it = std::find_if(openMaps.begin(), openMaps.end(),
                           [map](const auto& held) { return held.get() == map; });
    if (!map || it == openMaps.end() || !map->isOpen || map->refCount == 0) return false;
    if (--map->refCount > 0) return true;
    {
        std::lock_guard<std::mutex> hold(map->lock);
        map->isOpen = false; // from here a GetEditMap for the folder waits for the close
        map->enumerating = false;
    }
    table.unlock();
    const bool written = CloseMapFile(*map);
    table.lock();
    ForgetMap(map);
    return written;
}

bool MapLookup(EditMap* map, const std::string& title, EditInfo& info)
{
    if (!map) return false;
    std::lock_guard<std::mutex> hold(map->lock);
    if (!map->isOpen) return false;
    const EditInfo* found = map->entries.Find(title);
    if (!found) return false;
    info = *found;
    return true;
}

bool MapAdd(EditMap* map, const EditInfo& info, const std::string& title)
{
    if (!map) return false;
    std::lock_guard<std::mutex> hold(map->lock);
    // A title the record's u16 length cannot hold would be written cut and read back wrong.
    if (!map->isOpen || map->enumerating || title.size() > kEditMapMaxTitle) return false;
    map->entries.Insert(title, info);
    map->dirty = true;
    KeepForRebuilds(*map, EditMap::Change::Add, title, info);
    return true;
}

bool MapUpdate(EditMap* map, const EditInfo& info, const std::string& title)
{
    if (!map) return false;
    std::lock_guard<std::mutex> hold(map->lock);
    if (!map->isOpen || map->enumerating || !map->entries.Update(title, info)) return false;
    map->dirty = true;
    KeepForRebuilds(*map, EditMap::Change::Update, title, info);
    return true;
}

bool MapRemove(EditMap* map, const std::string& title)
{
    if (!map) return false;
    std::lock_guard<std::mutex> hold(map->lock);
    if (!map->isOpen || map->enumerating || !map->entries.Erase(title)) return false;
    map->dirty = true;
    KeepForRebuilds(*map, EditMap::Change::Remove, title, EditInfo{});
    return true;
}

bool MapFirst(EditMap* map, EditInfo& info, std::string& title)
{
    if (!map) return false;
    std::lock_guard<std::mutex> hold(map->lock);
    if (!map->isOpen) return false;
    map->enumerating = true;
    map->enumPosition.bucket = 0;
    map->enumPosition.index = 0;
    return Advance(*map, info, title);
}

bool MapNext(EditMap* map, EditInfo& info, std::string& title)
{
    if (!map) return false;
    std::lock_guard<std::mutex> hold(map->lock);
    if (!map->isOpen || !map->enumerating) return false;
    return Advance(*map, info, title);
}

void MapEndEnumeration(EditMap* map)
{
    if (!map) return;
    std::lock_guard<std::mutex> hold(map->lock);
    map->enumerating = false;
}

bool MapWrite(EditMap* map)
{
    if (!map) return false;
    std::lock_guard<std::mutex> hold(map->lock);
    if (!map->isOpen) return false;
    return ReplaceDatabase(map->filePath, EncodeEditMap(map->entries), map->handle);
}

bool DeleteEditMapFile(const LibraryLocation& location, const std::string& account)
{
    if (location.root.empty() || account.empty()) return false;
    // Held for the whole deletion, so that this process cannot open the map meanwhile.
    std::lock_guard<std::mutex> table(openMapsLock);
    if (FindMap(WithoutTrailingSlashes(location.root), WithoutTrailingSlashes(location.part),
                account))
        return false;
    return RemoveDatabase(EditMapPath(location, account));
}

bool RebuildMapFile(EditMap* map, int progressKind)
{
    if (!map) return false;
    size_t firstChange = 0;
    {
        std::lock_guard<std::mutex> hold(map->lock);
        if (!map->isOpen || map->enumerating) return false;
        ++map->rebuildsReading;
        firstChange = map->changesWhileRebuilding.size();
    }
    // The caller's reference keeps the map open, and the fields naming its folder never
    // change: the Edits are read without the lock, as the progress window turns the event
    // loop.
    EditMapTable fresh;
    const bool read = ScanAccountFolder({map->libraryRoot, map->libraryPart}, map->accountName,
                                        progressKind, fresh);

    std::lock_guard<std::mutex> hold(map->lock);
    std::vector<EditMap::Change>& changes = map->changesWhileRebuilding;
    for (size_t i = firstChange; i < changes.size(); ++i) {
        const EditMap::Change& change = changes[i];
        switch (change.kind) {
        case EditMap::Change::Add: fresh.Insert(change.title, change.info); break;
        case EditMap::Change::Update: fresh.Update(change.title, change.info); break;
        case EditMap::Change::Remove: fresh.Erase(change.title); break;
        }
    }
    if (--map->rebuildsReading == 0) changes.clear();
    // An enumeration begun meanwhile must not see its table replaced.
    if (!read || !map->isOpen || map->enumerating) return false;
    return InstallEntries(*map, std::move(fresh));
}

} // namespace tandrel
