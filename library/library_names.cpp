#include "library/library_names.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <string_view>

#include "base/file_io.h"
#include "base/interaction.h"
#include "settings/path_checks.h"

namespace tandrel {

namespace {

constexpr size_t kMaxFileNameBytes = 255;
constexpr std::string_view kEditExtension = ".kdw";

// Cuts `text` to at most `bytes` without splitting a UTF-8 character.
std::string CutTo(const std::string& text, size_t bytes)
{
    if (text.size() <= bytes) return text;
    size_t end = bytes;
    while (end > 0 && (uint8_t(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end);
}

} // namespace

bool ValidateName(const std::string& name, const std::string& subject)
{
    if (name.empty()) {
        MessageDialog("Oops!", subject + " may not be empty.");
        return false;
    }
    if (name.size() > kMaxTitleBytes) {
        MessageDialog("Oops!", subject + " may not be longer than " +
                                   std::to_string(kMaxTitleBytes) + " characters.");
        return false;
    }
    return CheckFileName(name, subject);
}

std::string MakeCopyName(const std::string& folder, const std::string& title,
                         const std::string& extension)
{
    for (int n = 1;; ++n) {
        std::string prefix = n == 1 ? "Copy of " : "Copy (" + std::to_string(n) + ") of ";
        std::string name = CutTo(prefix + title, kMaxFileNameBytes - extension.size());
        std::string path = folder + "/" + name + extension;
        if (!PathExists(path)) return path;
    }
}

std::string UniqueTitle(const std::string& folder, const std::string& title,
                        const std::string& extension)
{
    std::string candidate = title;
    for (int n = 2; PathExists(folder + "/" + candidate + extension); ++n) {
        std::string suffix = " (" + std::to_string(n) + ")";
        candidate = CutTo(title, kMaxFileNameBytes - extension.size() - suffix.size()) + suffix;
    }
    return candidate;
}

bool ListFolder(const std::string& folder, FolderEntry kind, std::vector<std::string>& names)
{
    names.clear();
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return false;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        if (kind == FolderEntry::EditFile && !name.ends_with(kEditExtension)) continue;
        struct stat st;
        if (::fstatat(::dirfd(dir), name.c_str(), &st, 0) != 0) continue;
        if (kind == FolderEntry::EditFile ? S_ISREG(st.st_mode) : S_ISDIR(st.st_mode))
            names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return true;
}

} // namespace tandrel
