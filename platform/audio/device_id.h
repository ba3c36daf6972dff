#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tandrel {

/** The 16-byte identity of a playback or capture device. All zeros means "the default
    device". Laid out like a GUID: a 32-bit, two 16-bit fields (little-endian) and 8 bytes. */
using DeviceId = std::array<uint8_t, 16>;

/** A stable identity for the device `name` of host API `hostApi`: the same two texts give
    the same identity on every run and every machine; it is never all zeros. */
DeviceId MakeDeviceId(std::string_view hostApi, std::string_view name);

/** The braced text form stored in the settings: "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}",
    upper-case hexadecimal. */
std::string DeviceIdText(const DeviceId& id);

/** Reads the braced text form (either case). False, leaving `id` alone, for anything else. */
bool ParseDeviceId(std::string_view text, DeviceId& id);

inline bool IsDefaultDeviceId(const DeviceId& id)
{
    for (uint8_t b : id)
        if (b != 0) return false;
    return true;
}

} // namespace tandrel
