#pragma once
#include <string>
#include <vector>

namespace tandrel {

/** Longest title whose file name (title + ".kdw") the file system accepts. */
inline constexpr size_t kMaxTitleBytes = 251;

/** True for a usable title. Otherwise says why in an "Oops!" box and returns false: the
    reserved characters (with `subject`, "Filenames" for titles), an empty name, or one too
    long for a file name. */
bool ValidateName(const std::string& name, const std::string& subject);

/** The first free path in `folder` named "Copy of TITLE", then "Copy (2) of TITLE", ... with
    `extension` (".kdw") after it; the title is shortened when the name would be too long. */
std::string MakeCopyName(const std::string& folder, const std::string& title,
                         const std::string& extension);

/** `title` when no file `folder`/title`extension` exists, else "TITLE (2)", "TITLE (3)", ... */
std::string UniqueTitle(const std::string& folder, const std::string& title,
                        const std::string& extension);

enum class FolderEntry
{
    EditFile, // a file whose name ends in ".kdw"
    Folder
};

/** The names in `folder` of the given kind (links followed), sorted so that callers see the
    same order whatever order the file system lists them in. False when the folder cannot be
    read. */
bool ListFolder(const std::string& folder, FolderEntry kind, std::vector<std::string>& names);

} // namespace tandrel
