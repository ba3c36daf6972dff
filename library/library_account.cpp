#include "library/library_account.h"

#include "settings/storage.h"
#include "settings/user.h"

namespace tandrel {

bool ActiveAccount(Account& account)
{
    std::string root;
    if (!GetLibraryFolder(root)) return false;
    std::string user, folder;
    if (!SplitActiveLocation(GetActiveLocation(), user, folder)) return false;
    account.location = {root, user};
    account.name = folder;
    return true;
}

Account DeletedFilesOf(const Account& account) { return {account.location, kDeletedFilesFolder}; }

} // namespace tandrel
