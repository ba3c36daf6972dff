#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace tandrel {

// The database file of an account folder, held exclusively (flock) by the one map that uses
// it, in this process or another. It is replaced whole by writing a temporary file beside it
// and renaming that over it, so a crash leaves either the old database or the new one. Since
// a rename gives the path a new file, whoever wins a lock checks that the file it locked is
// still the one the path names; the holder locks each new file before it renames it in.

enum class DatabaseOpen
{
    Locked,   // `fd` is the database, locked
    Busy,     // another opener holds it
    Replaced, // the file changed between open and lock: try again at once
    Missing,  // no such file (and none could be created: the folder is missing)
    Failed,   // any other error (permissions, not a regular file ...)
};

/** One attempt at opening and locking `path` for reading and writing. With `create` a missing
    file is made empty (and `created` set). Any thread. */
DatabaseOpen TryOpenDatabase(const std::string& path, bool create, int& fd, bool& created);

/** Attempts of AcquireDatabase against another opener. */
inline constexpr int kDatabaseOpenTries = 16;

/** TryOpenDatabase up to kDatabaseOpenTries times while another opener holds the file,
    waiting 250 ms plus 0 to 99 ms between attempts (through the installed wait). Returns the
    last attempt's result. */
DatabaseOpen AcquireDatabase(const std::string& path, bool create, int& fd, bool& created);

/** Reads the whole file. False on a read error or when it is larger than `limit`. */
bool ReadDatabase(int fd, uint64_t limit, std::vector<uint8_t>& bytes);

/** Replaces the file at `path` with `bytes` (temporary file, flush, rename, flush of the
    folder) and moves the lock over: on success `fd` is the new file, locked, and the old
    descriptor is closed. On failure nothing changes. */
bool ReplaceDatabase(const std::string& path, const std::vector<uint8_t>& bytes, int& fd);

/** Deletes `path` under its lock (a missing file counts as deleted). False when another
    opener holds it or it cannot be removed. */
bool RemoveDatabase(const std::string& path);

/** Closes a database descriptor (and so its lock); safe on -1. */
void CloseDatabase(int& fd);

/** How the retries wait: the default sleeps. Tests install one that records the waits. */
using DatabaseWait = void (*)(int milliseconds);
DatabaseWait InstallDatabaseWait(DatabaseWait wait);

} // namespace tandrel
