#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace tandrel {

// A save rewrites the history in place, where a crash halfway would leave counts over
// records that moved. So the new history is first put on the disk in a journal beside the
// Edit; the next open finds a complete journal and takes the history from it.

/** The journal of the Edit at `editPath`: its path with "-journal" added. */
std::string JournalPath(const std::string& editPath);

/** Writes `image` (the start of the program chunk as the save will leave it) to the journal
    of `editPath` and puts it and its folder entry on the disk. 0, or the system's error code
    (the journal is then removed); `written` receives how much of `image` reached the file. */
int WriteJournal(const std::string& editPath, const std::vector<uint8_t>& image, uint64_t& written);

/** The image of a complete journal of `editPath`, or empty when there is none or it was cut
    short or damaged. Never reads more than `maxImage` bytes of image. */
std::vector<uint8_t> ReadJournal(const std::string& editPath, uint32_t maxImage);

/** Removes the journal of `editPath` (once the history it holds is in the Edit). */
void RemoveJournal(const std::string& editPath);

} // namespace tandrel
