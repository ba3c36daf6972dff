#pragma once
#include <cstdint>
#include <string>

#include "base/file_names.h"

namespace tandrel {

// Checks and small utilities for the paths and names that the file-handling parts share.
// Paths are POSIX paths with '/' between folders. The nine characters \ / : * ? " < > | are
// refused in names (and all but '/' inside folder paths), so a Library can move to any other
// system without renaming a file.

enum FolderPathCode : int
{
    kFolderPathOk = 0,
    kFolderPathMissing = 1,      // no path given
    kFolderPathTooShort = 2,     // fewer than 3 characters
    kFolderPathTooLong = 3,      // more than 252 characters
    kFolderPathDoubleSlash = 4,  // two '/' in a row
    kFolderPathBadCharacter = 5, // one of " * \ : < > ? | after the leading '/'
    kFolderPathNotAbsolute = 6,  // does not start at the root
};

inline constexpr size_t kFolderPathMaxLength = 252;

/** The code of `path` (FolderPathCode); the first rule broken, in the order: missing, too
    short, too long, not absolute, bad character, double slash. Any thread. */
int CheckFolderPath(const std::string& path);

/** Creates every missing level of `path` (one trailing '/' allowed). False when the path is
    empty or fails CheckFolderPath, or is not a folder at the end (a file in the way, no
    permission). Any thread. */
bool CreateFolderPath(const std::string& path);

/** True when `name` holds none of the nine reserved characters (nor a zero byte). Otherwise
    shows, in a box titled "Oops!", `label` followed by " may not contain any of these
    characters:" and the list, and returns false. Callers pass "Filenames". Any thread. */
bool CheckFileName(const std::string& name, const std::string& label);

/** `path` without the '/' at its end, however many; the root "/" stays as it is. */
std::string WithoutTrailingSlashes(std::string path);

/** "----" for a negative count, else the count in MiB with one decimal, as "1.5 MB". */
std::string FormatMegabytes(int64_t bytes);

} // namespace tandrel
