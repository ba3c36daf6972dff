#include "bench/temp_folder.h"

#include <cstdlib>

namespace tandrel::bench {

TempFolder::TempFolder(const std::filesystem::path& parent)
{
    std::string pattern = (parent / "tandrel-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
}

TempFolder::~TempFolder()
{
    if (path_.empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path WorkingDiskFolder()
{
    if (const char* folder = std::getenv("TANDREL_BENCH_DISK"); folder && *folder) return folder;
    std::error_code error;
    std::filesystem::path current = std::filesystem::current_path(error);
    return error ? std::filesystem::path(".") : current;
}

} // namespace tandrel::bench
