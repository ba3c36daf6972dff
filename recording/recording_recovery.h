#pragma once
#include <string>
#include <vector>

namespace tandrel {

// Audio that an interrupted recording left on the disk is never thrown away: at the next
// start it becomes an Edit of the active account, and the person is told which.

/** Saves the temporary Edit when it holds audio: a new recording cut short (audio, no
    history: the base step is made over every complete frame) or one that could not be moved
    into the account. Returns the new Edit's path; empty when there was nothing to save or it
    could not be saved (the temporary Edit is then left as it is). */
std::string RecoverLeftoverTempEdit();

/** Offers the audio an interrupted insert recording appended to its Edit as a new Edit and
    cuts it off that Edit again, whose history stays as it was. Returns the new Edit's path;
    empty when there was nothing to recover. */
std::string RecoverInsertRecording();

/** Both, the temporary Edit first (the insert recovery makes a temporary Edit of its own).
    Returns the paths of the Edits made. At start-up, after the storage folder is known. */
std::vector<std::string> RecoverInterruptedRecordings();

/** Box title and text telling the person where recovered audio went. */
inline constexpr const char* kRecoveredTitle = "Recording Recovered";
std::string RecoveredText(const std::string& title);

} // namespace tandrel
