#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace tandrel::cli {

/** A decimal whole number in [min, max], the whole text and nothing else (no sign, no
    spaces, no suffix); nullopt otherwise. */
std::optional<uint64_t> ParseUnsigned(const std::string& text, uint64_t min, uint64_t max);

/** The words after a command, split into positional words, options that take a value
    ("--rate 44100" or "--rate=44100") and switches ("--master"). */
struct ParsedArguments
{
    std::vector<std::string> positional;
    std::map<std::string, std::string> values;
    std::set<std::string> switches;
    /** Empty when the words made sense; else what was wrong, for the user. */
    std::string error;
};

/** Splits `words`. Options are named with their dashes ("--rate"); an option not listed,
    a value option without its value, a switch given a value, or an option given twice is an
    error. "--" ends the options. */
ParsedArguments ParseArguments(const std::vector<std::string>& words,
                               const std::set<std::string>& valueOptions,
                               const std::set<std::string>& switchOptions);

} // namespace tandrel::cli
