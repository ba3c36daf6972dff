#pragma once
#include <filesystem>
#include <string>

namespace tandrel::bench {

/** A fresh folder under `parent` (made with mkdtemp), removed with everything in it when the
    object goes. `Ok` is false when it could not be made. */
class TempFolder
{
public:
    explicit TempFolder(const std::filesystem::path& parent);
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    bool Ok() const { return !path_.empty(); }
    const std::filesystem::path& Path() const { return path_; }
    std::string File(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

/** The folder a benchmark on "the working disk" uses: $TANDREL_BENCH_DISK if set, else the
    current folder (the build folder when run from bench/run), which is on a real disk
    where /tmp may be a tmpfs. */
std::filesystem::path WorkingDiskFolder();

} // namespace tandrel::bench
