#pragma once
#include <ctime>
#include <string>

#include "library/library_account.h"

namespace tandrel {

/** "PREFIX YYYY-MM-DD HH.MM.SS" at `when` (local time), made unique in `account`: the title
    of a recording the person gave no title, or of recovered audio. */
std::string DefaultRecordingTitle(const Account& account, const std::string& prefix,
                                  std::time_t when = std::time(nullptr));

} // namespace tandrel
