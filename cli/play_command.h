#pragma once
#include <string>
#include <vector>

namespace tandrel::cli {

/** `play FILE.kdw [--from BYTES --to BYTES] [--reverse] [--selection]`: plays the Edit in the
    main stream, serviced as the program services it, and prints the underrun count. */
int PlayCommand(const std::vector<std::string>& words);

} // namespace tandrel::cli
