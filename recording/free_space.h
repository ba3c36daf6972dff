#pragma once
#include <cstdint>
#include <string>

namespace tandrel {

/** The bytes a recording may use on the drive holding `folder`: its free space less
    `reserve`; 0 when less than the reserve is free, when `folder` is empty or when the free
    space cannot be read. */
uint64_t RecordingFreeSpace(const std::string& folder, uint64_t reserve);

} // namespace tandrel
