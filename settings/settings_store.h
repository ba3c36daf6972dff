#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace tandrel {

// Every persistent setting is a named value under the product key. On this system the key is
// an INI file, $XDG_CONFIG_HOME/Halvern/Tandrel.conf (~/.config when XDG_CONFIG_HOME is unset
// or relative): values directly under the product key sit in the file's [General] section,
// values under a sub-key ("Software\Halvern\Tandrel\Recent") in the group of that sub-key.
//
// Numbers and texts keep their types: a number is stored as "dword:" and eight hex digits
// (as regedit exports them), a text as itself, or behind "sz:" when it would otherwise start
// with "dword:" or "sz:". A value of the other type, or one the file holds in any other form
// (a list, a hand-edited "@Variant"), reads as missing.
//
// Every helper opens the file, does its work and closes it again, under one process-wide
// lock, so they are safe from any thread. Writes reach the disk before they return: the file
// is replaced as a whole (written to a temporary file, flushed and renamed over the old one),
// so a crash leaves either the old or the new settings, never half a file. None of them
// reports to the user; failure shows only in the result.

/** The product key; callers pass it, or a sub-key below it, as the key path. Key paths may
    use '\' or '/' between their parts; the three parts of the product key match without
    regard to case. Any other key path is refused. */
inline constexpr const char* kProductKey = "Software\\Halvern\\Tandrel";

/** Attempt modes: 0 and 1 try a failed open, read or write a second time; 2 tries once. */
inline constexpr int kSettingTwoAttempts = 0;
inline constexpr int kSettingOneAttempt = 2;

/** Buffer sizes callers read with: paths, long names, short names (terminator included). */
inline constexpr size_t kSettingPathSize = 260;
inline constexpr size_t kSettingLabelSize = 128;
inline constexpr size_t kSettingNameSize = 64;

/** The settings file: $XDG_CONFIG_HOME/Halvern/Tandrel.conf, resolved from the environment at
    each call (so a test can move it). Empty when neither XDG_CONFIG_HOME nor a home folder
    can be found. Any thread. */
std::string SettingsFilePath();

/** The number `valueName` under `keyPath`. Returns 0 and clears `*found` when the key path or
    value name is null or refused, the value is missing, or it is not a number; otherwise
    sets `*found`. `found` may be null. Any thread. */
uint32_t ReadSettingNumber(int mode, const char* keyPath, const char* valueName,
                           bool* found = nullptr);

/** Reads the text `valueName` into `out`. `bufferSize` is the size of the caller's buffer,
    terminator included: a text longer than bufferSize - 1 bytes is refused like a missing
    value, as the registry refuses a read into a buffer too small, rather than handing back
    a cut path. False (and `out` unchanged) when refused, missing or not a text. Any thread. */
bool ReadSettingText(int mode, const char* keyPath, const char* valueName, std::string& out,
                     size_t bufferSize);

/** Stores `value` as a number. False when the key path or name is refused or the file cannot
    be written. Any thread. */
bool WriteSettingNumber(int mode, const char* keyPath, const char* valueName, uint32_t value);

/** Stores `text` as a text. A null text writes nothing and returns false; so does a text that
    is not valid UTF-8, which the file could not hold unchanged. Any thread. */
bool WriteSettingText(int mode, const char* keyPath, const char* valueName, const char* text);

/** Removes `valueName` whatever its type. True when the value is gone afterwards (a missing
    value counts); false when the name is refused or the file cannot be written. Any thread. */
bool DeleteSettingValue(int mode, const char* keyPath, const char* valueName);
/** Removes several values with one rewrite of the file; all or none, as DeleteSettingValue. */
bool DeleteSettingValues(int mode, const char* keyPath, const char* const* valueNames,
                         size_t count);

/** One number of a batch. */
struct SettingNumber
{
    const char* valueName;
    uint32_t value;
};

/** Stores several numbers under `keyPath` with one rewrite of the file (window placement
    is saved on every move). All or none: false when any name is refused or the file cannot
    be written. Any thread. */
bool WriteSettingNumbers(int mode, const char* keyPath, const SettingNumber* values, size_t count);

} // namespace tandrel
