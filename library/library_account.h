#pragma once
#include <string>

#include "library/edit_map.h"

namespace tandrel {

/** One account folder of the Library: where its Edits and its database live. */
struct Account
{
    LibraryLocation location; // Library root and the user's folder below it
    std::string name;         // the account folder ("Default")

    std::string Folder() const { return AccountFolderPath(location, name); }
    /** The account folder, '/', the title and ".kdw". */
    std::string EditPath(const std::string& title) const { return Folder() + "/" + title + ".kdw"; }
};

/** Name of the folder, beside the accounts, that holds deleted Edits until it is emptied. */
inline constexpr const char* kDeletedFilesFolder = "Deleted Files";

/** The active account of the built-in user in the current storage folder. False before the
    storage folder is known. */
bool ActiveAccount(Account& account);
/** The folder of deleted Edits beside `account`, as an account of its own (with its own
    database). */
Account DeletedFilesOf(const Account& account);

} // namespace tandrel
