#include "settings/user.h"

#include <algorithm>

#include "settings/setting_defaults.h"
#include "settings/settings_store.h"
#include "settings/storage.h"

namespace tandrel {

namespace {

constexpr int kScrubSteps[16] = {3, 4, 5, 6, 8, 10, 13, 16, 20, 25, 32, 40, 50, 63, 79, 100};

uint32_t WithField(uint32_t bits, int shift, int index)
{
    const uint32_t value = uint32_t(std::clamp(index, 0, 15));
    return (bits & ~(15u << shift)) | value << shift;
}

} // namespace

int UserFlags::ScrubStep() const
{
    return kScrubSteps[ScrubStepIndex()];
}

void UserFlags::SetScrubStepIndex(int index)
{
    bits = WithField(bits, kScrubStepShift, index);
}

void UserFlags::SetInitialScrubTimeIndex(int index)
{
    bits = WithField(bits, kInitialScrubTimeShift, index);
}

UserFlags ReadUserFlags()
{
    return UserFlags{ReadNumberSetting("UserFlags")};
}

bool WriteUserFlags(const UserFlags& flags)
{
    return WriteSettingNumber(kSettingTwoAttempts, kProductKey, "UserFlags", flags.bits);
}

bool GetUserIdentity(std::string& userName, std::string& homeFolder)
{
    std::string folder = StorageFolder();
    if (folder.empty()) return false;
    userName = kUserName;
    homeFolder = std::move(folder);
    return true;
}

std::string GetActiveLocation()
{
    return std::string(kUserName) + "/" + kAccountFolderName;
}

bool SplitActiveLocation(const std::string& location, std::string& userName,
                         std::string& accountFolder)
{
    const size_t slash = location.rfind('/');
    if (slash == std::string::npos) return false;
    userName = location.substr(0, slash);
    accountFolder = location.substr(slash + 1);
    return true;
}

ActiveUser ApplyActiveUser()
{
    ActiveUser user;
    user.flags = ReadUserFlags();
    SplitActiveLocation(GetActiveLocation(), user.userName, user.accountFolder);
    if (user.flags.OneTimeMarker()) {
        user.flags.Set(UserFlags::kOneTimeMarker, false);
        WriteUserFlags(user.flags);
    }
    return user;
}

} // namespace tandrel
