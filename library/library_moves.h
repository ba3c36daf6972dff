#pragma once
#include <string>
#include <vector>

#include "library/editor_slot.h"
#include "library/library_account.h"

namespace tandrel {

// Moving Edits about in the Library, keeping each account's database in step. UI thread.

/** Makes the Edit `title` of `account` the active Edit. When it cannot be opened, says why
    (a cart or deck holds it, or the system's error) unless `quiet`. */
bool LoadEdit(EditorSlot& editor, const Account& account, const std::string& title,
              bool refresh, bool quiet = false);

enum class RenameResult { Renamed, Refused, Failed };
/** Renames the active Edit to `newTitle`. Refused (after a box) for an invalid title or one
    already used; the old Edit is then active again. */
RenameResult RenameFile(EditorSlot& editor, const Account& account, const std::string& newTitle);
/** "Rename Active File...": asks for the new title until it is accepted or the person
    cancels. */
bool RenameActiveEdit(EditorSlot& editor, const Account& account);

/** Copies each of `titles` to its "Copy of" name in the same account, with progress, and
    enters each copy in the database. False when any copy failed or the person cancelled. */
bool CopySelectedFiles(const Account& account, const std::vector<std::string>& titles);

/** Moves the active Edit to the deleted-files folder (nothing is destroyed). */
bool DeleteActiveFile(EditorSlot& editor, const Account& account);
/** "Delete from Library...": moves each of `titles` to the deleted-files folder, letting go of
    the active Edit first when it is one of them. An Edit a player holds is kept, with a box.
    False when any could not be moved. */
bool DeleteLibraryEdits(EditorSlot& editor, const Account& account,
                        const std::vector<std::string>& titles);
/** Moves the Edit `title` of `account` (not open anywhere) to the deleted-files folder under
    a free title there, with its database entry, and remembers it for Restore Deleted File.
    0, or the system's error code (nothing moved). */
int MoveToDeletedFiles(const Account& account, const std::string& title);
/** Whether Restore Deleted File has an Edit to bring back. */
bool DeletedFileAvailable(const Account& account);
/** Moves the most recently deleted Edit back into `account` and makes it the active Edit. */
bool RestoreDeletedFile(EditorSlot& editor, const Account& account);
/** After asking, deletes for good every Edit in the deleted-files folder. */
bool EmptyDeletedFilesFolder(const Account& account);

} // namespace tandrel
