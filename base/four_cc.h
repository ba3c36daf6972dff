#pragma once
#include <cstdint>
#include <string>

namespace tandrel {

/** The code whose four bytes, from the most significant, are the letters of `text`:
    FourCC("Mod1") == 0x4D6F6431. */
constexpr uint32_t FourCC(const char (&text)[5])
{
    return (uint32_t(uint8_t(text[0])) << 24) | (uint32_t(uint8_t(text[1])) << 16) |
           (uint32_t(uint8_t(text[2])) << 8) | uint32_t(uint8_t(text[3]));
}

/** The four letters of `code`, most significant byte first. */
inline std::string FourCCText(uint32_t code)
{
    return {char(code >> 24), char(code >> 16), char(code >> 8), char(code)};
}

} // namespace tandrel
