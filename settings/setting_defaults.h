#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tandrel {

// The table of every setting under the product key: its type, what a reader assumes when it
// is missing, and the buffer its owner reads a text with. Settings are not cached: owners
// read them when they need them, through ReadNumberSetting / ReadTextSetting below or the
// plain helpers of settings_store.h.

enum class SettingType : uint8_t
{
    Number,
    Text
};

struct SettingDefault
{
    /** The name; a '#' stands for the decimal number of a numbered family ("Cart#Label"
        matches "Cart1Label" to "Cart21Label"). */
    std::string_view name;
    SettingType type;
    /** False when a missing value means "not set" (no path chosen, placement not saved) or
        when the owner works the default out itself (the storage folder, window placement). */
    bool hasDefault;
    /** Number default, as the 32-bit value read back (−1 is 0xffffffff). */
    int32_t number;
    /** Text default. */
    std::string_view text;
    /** Text buffer size the owner reads with, terminator included; 0 for numbers. */
    size_t bufferSize;
    /** Numbers outside [minimum, maximum] (compared as signed) read as the default; no range
        when minimum > maximum. */
    int32_t minimum;
    int32_t maximum;
    /** Range of the '#' number. */
    int32_t firstIndex;
    int32_t lastIndex;
};

/** Every entry, in the order of the settings table. */
std::span<const SettingDefault> SettingDefaults();

/** The entry for `name` ("Cart3Label" finds "Cart#Label"); null for a name not in the table
    or a family number out of range. Any thread. */
const SettingDefault* FindSetting(std::string_view name);

/** The default of number setting `name` as stored; 0 when it has none or is unknown. */
uint32_t SettingDefaultNumber(std::string_view name);
/** The default of text setting `name`; empty when it has none or is unknown. */
std::string SettingDefaultText(std::string_view name);

/** The number `name` under the product key, or its default when it is missing, not a number,
    or outside its range. Any thread. */
uint32_t ReadNumberSetting(std::string_view name);
/** The text `name` under the product key, read with the entry's buffer size (260 for a name
    not in the table), or its default when missing. Any thread. */
std::string ReadTextSetting(std::string_view name);

} // namespace tandrel
