#pragma once
#include <iosfwd>

namespace tandrel::cli {

/** The program's usage text: every command with its options. */
void PrintUsage(std::ostream& out);

} // namespace tandrel::cli
