#include "recording/recording_titles.h"

#include "library/library_names.h"

namespace tandrel {

std::string DefaultRecordingTitle(const Account& account, const std::string& prefix, std::time_t when)
{
    std::tm local{};
    localtime_r(&when, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H.%M.%S", &local);
    return UniqueTitle(account.Folder(), prefix + " " + stamp, ".kdw");
}

} // namespace tandrel
