#pragma once
#include <string>

namespace tandrel {

enum class CopyResult { Copied, Cancelled, Failed };

/** Copies the file `from` to `to`, which must not exist yet, in blocks, with `caption` in a
    cancellable progress window showing the share copied. The copy reaches the disk before
    it counts as done. A cancelled or failed copy leaves no file at `to`; `error` then holds
    the system's error code (0 after a cancel). UI thread. */
CopyResult CopyFileWithProgress(const std::string& from, const std::string& to,
                                const std::string& caption, int& error);

/** Renames `from` to `to` without ever replacing a file at `to` (EEXIST then). 0, or the
    system's error code. */
int MoveWithoutReplacing(const std::string& from, const std::string& to);

} // namespace tandrel
