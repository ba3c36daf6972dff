#pragma once
#include <memory>
#include <string>

#include "base/audio_format.h"

#include "edit/edit_view.h"
#include "library/editor_slot.h"
#include "library/library_account.h"

namespace tandrel {

// How Edits come into being in the Library: through the temporary Edit, saved under a title
// the person gives and entered in the account's database. UI thread.

/** Where new recordings and processing results are written before they get a title. */
std::string TempEditPath();
/** The format of new recordings and new Edits (the DefaultFormat setting). */
AudioFormat RecordingFormat();
/** The title first offered for a new Edit: the DefaultFileName setting, "Untitled" when it
    is empty. */
std::string DefaultEditTitle();
/** Deletes any old temporary Edit and returns a new, unopened EditFile in the recording
    format; `path` receives the temporary path. Null when the storage folder is not known or
    the old file cannot or must not be deleted: it is open (a recording goes into it) or
    holds audio (a recording the recovery has yet to save). */
std::unique_ptr<EditFile> MakeTempEdit(std::string& path);

/** Asks for the title of a new Edit until it is a valid title not used in `account`. False
    when the person cancels. */
bool AskForNewTitle(const Account& account, std::string& title);

/** Moves (or, across file systems, copies with progress) the Edit at `tempPath` to `title` in
    `account`. A failed or cancelled move leaves the temporary Edit where it was. The caller
    enters the Edit in the database. */
bool SaveNewEdit(const std::string& tempPath, const Account& account, const std::string& title);

/** Enters the Edit at `path` in `account`'s database under `title`. */
bool AddToDatabase(const Account& account, const std::string& path, const std::string& title);
/** Refreshes the database entry of the Edit at `path` when it is one of `account`'s Edits:
    its length, modification time and size after it was edited. False when it lies in
    another folder, is not listed, or its facts cannot be read. */
bool UpdateInDatabase(const Account& account, const std::string& path);

/** "New File from Selection" (or, without `fromSelection`, from the whole Edit): copies the
    audio into a new Edit in the recording format, asks for its title, saves it in `account`
    and enters it in the database. `forEffect` words the messages for a processing command.
    Without a selection nothing happens. The source keeps its cue line and marks; a failed or
    cancelled copy leaves no temporary file. */
bool NewEdit(EditView& source, const Account& account, bool fromSelection, bool forEffect = false);

/** The New command: an empty Edit under a title the person gives, loaded into the editor. */
bool NewEmptyEdit(EditorSlot& editor, const Account& account);

} // namespace tandrel
