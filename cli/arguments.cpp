#include "cli/arguments.h"

#include <charconv>

namespace tandrel::cli {

std::optional<uint64_t> ParseUnsigned(const std::string& text, uint64_t min, uint64_t max)
{
    if (text.empty() || text.front() < '0' || text.front() > '9') return std::nullopt;
    uint64_t value = 0;
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    if (result.ec != std::errc() || result.ptr != end) return std::nullopt;
    if (value < min || value > max) return std::nullopt;
    return value;
}

ParsedArguments ParseArguments(const std::vector<std::string>& words,
                               const std::set<std::string>& valueOptions,
                               const std::set<std::string>& switchOptions)
{
    ParsedArguments parsed;
    bool optionsEnded = false;
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (optionsEnded || word.size() < 2 || word[0] != '-') {
            parsed.positional.push_back(word);
            continue;
        }
        if (word == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name = word;
        std::optional<std::string> inlineValue;
        if (const size_t equals = word.find('='); equals != std::string::npos) {
            name = word.substr(0, equals);
            inlineValue = word.substr(equals + 1);
        }
        if (parsed.values.contains(name) || parsed.switches.contains(name)) {
            parsed.error = name + " given more than once";
            return parsed;
        }
        if (valueOptions.contains(name)) {
            if (inlineValue) {
                parsed.values[name] = *inlineValue;
            } else if (i + 1 < words.size()) {
                parsed.values[name] = words[++i];
            } else {
                parsed.error = name + " needs a value";
                return parsed;
            }
        } else if (switchOptions.contains(name)) {
            if (inlineValue) {
                parsed.error = name + " takes no value";
                return parsed;
            }
            parsed.switches.insert(name);
        } else {
            parsed.error = "unknown option " + name;
            return parsed;
        }
    }
    return parsed;
}

} // namespace tandrel::cli
