#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "bench/history_generator.h"
#include "edit/edit_file.h"

namespace tandrel::bench {

/** Creates the Edit `path` whose data chunk is `dataLength` bytes of sparse (unwritten)
    sample data, and whose undo list is `history`, saved in one go. Returns an empty text,
    or what went wrong. */
std::string CreateSparseEdit(const std::string& path, HistoryGenerator::Format format,
                             uint64_t dataLength, std::vector<EditRecord> history);

/** One hour of 44.1 kHz 16-bit stereo, in bytes. */
inline constexpr uint64_t kOneHourCd = 44100ull * 4 * 3600;

} // namespace tandrel::bench
