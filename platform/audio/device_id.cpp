#include "platform/audio/device_id.h"

namespace tandrel {
namespace {

// The text form prints the first three fields as numbers (their bytes are little-endian),
// then the last eight bytes in order; this table gives, for each printed byte, its index.
constexpr int kTextOrder[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
// Printed byte k is followed by a dash after these positions.
constexpr bool DashAfter(int k)
{
    return k == 3 || k == 5 || k == 7 || k == 9;
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

} // namespace

DeviceId MakeDeviceId(std::string_view hostApi, std::string_view name)
{
    // 128-bit FNV-1a over "hostApi\0name": stable, and different host APIs never collide
    // on a shared device name.
    using U128 = unsigned __int128;
    const U128 prime = (U128(0x0000000001000000ull) << 64) | 0x000000000000013Bull;
    U128 hash = (U128(0x6c62272e07bb0142ull) << 64) | 0x62b821756295c58dull;
    auto mix = [&](uint8_t byte) {
        hash ^= byte;
        hash *= prime;
    };
    for (char c : hostApi)
        mix(uint8_t(c));
    mix(0);
    for (char c : name)
        mix(uint8_t(c));

    DeviceId id{};
    for (int i = 0; i < 16; ++i)
        id[i] = uint8_t(hash >> (8 * i));
    // Mark it as a name-based identity (version 5 in the third field, RFC 4122 variant),
    // which also keeps it from ever being the all-zero default identity.
    id[7] = uint8_t((id[7] & 0x0F) | 0x50);
    id[8] = uint8_t((id[8] & 0x3F) | 0x80);
    return id;
}

std::string DeviceIdText(const DeviceId& id)
{
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text = "{";
    for (int k = 0; k < 16; ++k) {
        const uint8_t b = id[kTextOrder[k]];
        text += kDigits[b >> 4];
        text += kDigits[b & 15];
        if (DashAfter(k)) text += '-';
    }
    text += '}';
    return text;
}

bool ParseDeviceId(std::string_view text, DeviceId& id)
{
    if (text.size() != 38 || text.front() != '{' || text.back() != '}') return false;
    DeviceId parsed{};
    size_t at = 1;
    for (int k = 0; k < 16; ++k) {
        const int high = HexValue(text[at]);
        const int low = HexValue(text[at + 1]);
        if (high < 0 || low < 0) return false;
        parsed[kTextOrder[k]] = uint8_t(high << 4 | low);
        at += 2;
        if (DashAfter(k)) {
            if (text[at] != '-') return false;
            ++at;
        }
    }
    id = parsed;
    return true;
}

} // namespace tandrel
