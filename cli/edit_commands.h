#pragma once
#include <string>
#include <vector>

namespace tandrel::cli {

/** Exit statuses of the program. */
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

/** `edit new FILE --rate R --bits B --channels C`: `words` are those after "new". */
int EditNewCommand(const std::vector<std::string>& words);
/** `edit info FILE [--master]`: `words` are those after "info". */
int EditInfoCommand(const std::vector<std::string>& words);
/** `edit render FILE OUT.wav [--master] [--from BYTES --to BYTES]`. */
int EditRenderCommand(const std::vector<std::string>& words);
/** `edit extract SRC DST --from BYTES --to BYTES [--rate R --bits B --channels C]`. */
int EditExtractCommand(const std::vector<std::string>& words);
/** `edit do FILE CMD [CMD ...]`: runs editor commands in order on one Edit (and on the Edits
    that `open` makes active), with one clipboard throughout. */
int EditDoCommand(const std::vector<std::string>& words);
/** `library [--storage DIR] list|rebuild|new|rename|copy|delete|restore|extract ...`. */
int LibraryCommand(const std::vector<std::string>& words);

} // namespace tandrel::cli
