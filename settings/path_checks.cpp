#include "settings/path_checks.h"

#include <sys/stat.h>

#include <cstdio>
#include <string_view>

#include "base/file_io.h"
#include "base/interaction.h"

namespace tandrel {

namespace {

// Reserved inside a folder path: the nine name characters except the separator. A zero byte
// would cut the path short at the system call.
constexpr std::string_view kReservedInPath{"\"*\\:<>?|\0", 9};
// Reserved in a name: all nine.
constexpr std::string_view kReservedInName{"\"*/\\:<>?|\0", 10};

} // namespace

int CheckFolderPath(const std::string& path)
{
    if (path.empty()) return kFolderPathMissing;
    if (path.size() < 3) return kFolderPathTooShort;
    if (path.size() > kFolderPathMaxLength) return kFolderPathTooLong;
    if (path[0] != '/') return kFolderPathNotAbsolute;
    if (path.find_first_of(kReservedInPath, 1) != std::string::npos) return kFolderPathBadCharacter;
    if (path.find("//") != std::string::npos) return kFolderPathDoubleSlash;
    return kFolderPathOk;
}

bool CreateFolderPath(const std::string& path)
{
    if (path.empty()) return false;
    std::string folder = path;
    if (folder.back() == '/') folder.pop_back();
    if (CheckFolderPath(folder) != kFolderPathOk) return false;
    // Rebuild the path one level at a time; the root itself always exists.
    for (size_t cut = folder.find('/', 1);; cut = folder.find('/', cut + 1)) {
        const std::string level = folder.substr(0, cut);
        if (!IsFolder(level)) mkdir(level.c_str(), 0777); // a failure shows in the final check
        if (cut == std::string::npos) break;
    }
    return IsFolder(folder);
}

bool CheckFileName(const std::string& name, const std::string& label)
{
    if (name.find_first_of(kReservedInName) == std::string::npos) return true;
    MessageDialog("Oops!", label + " may not contain any of these characters:\r\n\r\n"
                                   " \\ / : * ? \" < > |");
    return false;
}

std::string WithoutTrailingSlashes(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

std::string FormatMegabytes(int64_t bytes)
{
    if (bytes < 0) return "----";
    char text[64];
    std::snprintf(text, sizeof text, "%.1f MB", double(bytes) / 1048576.0);
    return text;
}

} // namespace tandrel
