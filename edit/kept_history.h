#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace tandrel {

/** Keeps `chunk` (the program chunk of the Edit at `editPath` as it was read) in a new file
    beside the Edit, "<path>.history" or, when that is taken, "<path>.history-N", and puts it
    on the disk. Returns the file's path, or empty with errno set. Never replaces a file. */
std::string KeepOriginalHistory(const std::string& editPath, const std::vector<uint8_t>& chunk);

} // namespace tandrel
