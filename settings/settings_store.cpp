#include "settings/settings_store.h"

#include <pwd.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <mutex>
#include <string_view>
#include <vector>

#include <QSettings>
#include <QString>
#include <QVariant>

#include "settings/path_checks.h"

namespace tandrel {

namespace {

constexpr std::string_view kNumberPrefix = "dword:";
constexpr std::string_view kTextPrefix = "sz:";

// QSettings keeps its own per-file cache; this lock makes each helper's open, work and
// close one step, so two threads never interleave a read-modify-write of the file.
std::mutex& StoreLock()
{
    static std::mutex lock;
    return lock;
}

bool IsValidUtf8(std::string_view text)
{
    const QString decoded = QString::fromUtf8(text.data(), qsizetype(text.size()));
    const QByteArray encoded = decoded.toUtf8();
    return std::string_view(encoded.constData(), size_t(encoded.size())) == text;
}

QString ToQString(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

bool EqualIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = char(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = char(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

// The INI group of a key path: "" for the product key, "A/B" for "<product key>\A\B".
bool GroupOf(const char* keyPath, QString& group)
{
    if (!keyPath) return false;
    std::vector<std::string_view> parts;
    std::string_view rest(keyPath);
    while (true) {
        const size_t cut = rest.find_first_of("\\/");
        parts.push_back(rest.substr(0, cut));
        if (parts.back().empty()) return false; // a leading, trailing or doubled separator
        if (cut == std::string_view::npos) break;
        rest.remove_prefix(cut + 1);
    }
    constexpr std::array<std::string_view, 3> kProductParts = {"Software", "Halvern", "Tandrel"};
    if (parts.size() < kProductParts.size()) return false;
    for (size_t i = 0; i < kProductParts.size(); ++i)
        if (!EqualIgnoringCase(parts[i], kProductParts[i])) return false;
    std::string joined;
    for (size_t i = kProductParts.size(); i < parts.size(); ++i) {
        if (!joined.empty()) joined += '/';
        joined += parts[i];
    }
    if (!IsValidUtf8(joined)) return false;
    group = ToQString(joined);
    return true;
}

// A value name becomes one INI key. Separators would silently move it into a sub-group, and
// the registry's unnamed default value has no place in an INI file: both are refused.
bool KeyOf(const char* valueName, QString& key)
{
    if (!valueName || !*valueName) return false;
    const std::string_view name(valueName);
    if (name.find_first_of("\\/") != std::string_view::npos) return false;
    if (!IsValidUtf8(name)) return false;
    key = ToQString(name);
    return true;
}

struct Stored
{
    enum Kind
    {
        Missing,
        Number,
        Text
    } kind = Missing;
    uint32_t number = 0;
    std::string text;
};

Stored Decode(const QVariant& raw)
{
    Stored stored;
    // QSettings hands back anything it does not recognise as a plain string as another type
    // (a comma list, "@Variant(...)"): that is not a value this program wrote.
    if (!raw.isValid() || raw.typeId() != QMetaType::QString) return stored;
    const QByteArray bytes = raw.toString().toUtf8();
    std::string_view value(bytes.constData(), size_t(bytes.size()));
    if (value.starts_with(kNumberPrefix)) {
        value.remove_prefix(kNumberPrefix.size());
        if (value.size() != 8) return stored;
        uint32_t number = 0;
        for (char c : value) {
            int digit;
            if (c >= '0' && c <= '9')
                digit = c - '0';
            else if (c >= 'a' && c <= 'f')
                digit = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F')
                digit = c - 'A' + 10;
            else
                return stored;
            number = number << 4 | uint32_t(digit);
        }
        stored.kind = Stored::Number;
        stored.number = number;
        return stored;
    }
    if (value.starts_with(kTextPrefix)) value.remove_prefix(kTextPrefix.size());
    stored.kind = Stored::Text;
    stored.text.assign(value);
    return stored;
}

QString EncodeNumber(uint32_t number)
{
    char digits[9];
    for (int i = 7; i >= 0; --i) {
        digits[i] = "0123456789abcdef"[number & 15];
        number >>= 4;
    }
    digits[8] = 0;
    return ToQString(kNumberPrefix) + QString::fromLatin1(digits);
}

QString EncodeText(std::string_view text)
{
    // Only texts that would read back as a number, or that carry the escape themselves,
    // need the escape; everything else is stored as a person would write it.
    if (text.starts_with(kNumberPrefix) || text.starts_with(kTextPrefix))
        return ToQString(kTextPrefix) + ToQString(text);
    return ToQString(text);
}

int Attempts(int mode)
{
    return mode == 0 || mode == 1 ? 2 : 1;
}

// Runs `work` on a freshly opened settings file, under the store lock, as often as the mode
// allows until it succeeds. `work` returns false for a failure worth a second attempt.
template <class Work> bool WithSettings(int mode, Work work)
{
    const std::string file = SettingsFilePath();
    if (file.empty()) return false;
    std::lock_guard guard(StoreLock());
    for (int attempt = 0; attempt < Attempts(mode); ++attempt) {
        QSettings settings(ToQString(file), QSettings::IniFormat);
        // A damaged line (a hand edit) is a FormatError: QSettings still reads the rest and
        // writes a clean file, which is better than losing every setting to one typo.
        if (settings.status() == QSettings::AccessError) continue;
        if (work(settings)) return true;
    }
    return false;
}

Stored ReadStored(int mode, const char* keyPath, const char* valueName)
{
    QString group, key;
    Stored stored;
    if (!GroupOf(keyPath, group) || !KeyOf(valueName, key)) return stored;
    WithSettings(mode, [&](QSettings& settings) {
        settings.beginGroup(group);
        stored = Decode(settings.value(key));
        settings.endGroup();
        return true;
    });
    return stored;
}

bool WriteRaw(int mode, const char* keyPath, const std::vector<std::pair<QString, QString>>& values)
{
    QString group;
    if (!GroupOf(keyPath, group)) return false;
    return WithSettings(mode, [&](QSettings& settings) {
        settings.beginGroup(group);
        for (const auto& [key, raw] : values)
            settings.setValue(key, raw);
        settings.endGroup();
        settings.sync();
        return settings.status() != QSettings::AccessError;
    });
}

} // namespace

std::string SettingsFilePath()
{
    // The XDG base directory rules: a relative XDG_CONFIG_HOME is ignored.
    std::string configHome;
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/') {
        configHome = xdg;
    } else {
        std::string home;
        const char* homeVariable = std::getenv("HOME");
        if (homeVariable && homeVariable[0] == '/') {
            home = homeVariable;
        } else {
            passwd entry{};
            passwd* found = nullptr;
            std::vector<char> buffer(16384);
            if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
                found->pw_dir && found->pw_dir[0] == '/')
                home = found->pw_dir;
        }
        if (home.empty()) return {};
        configHome = WithoutTrailingSlashes(home) + "/.config";
    }
    configHome = WithoutTrailingSlashes(configHome);
    if (configHome == "/") configHome.clear();
    return configHome + "/Halvern/Tandrel.conf";
}

uint32_t ReadSettingNumber(int mode, const char* keyPath, const char* valueName, bool* found)
{
    const Stored stored = ReadStored(mode, keyPath, valueName);
    const bool isNumber = stored.kind == Stored::Number;
    if (found) *found = isNumber;
    return isNumber ? stored.number : 0;
}

bool ReadSettingText(int mode, const char* keyPath, const char* valueName, std::string& out,
                     size_t bufferSize)
{
    const Stored stored = ReadStored(mode, keyPath, valueName);
    if (stored.kind != Stored::Text) return false;
    if (bufferSize == 0 || stored.text.size() > bufferSize - 1) return false;
    out = stored.text;
    return true;
}

bool WriteSettingNumber(int mode, const char* keyPath, const char* valueName, uint32_t value)
{
    const SettingNumber number{valueName, value};
    return WriteSettingNumbers(mode, keyPath, &number, 1);
}

bool WriteSettingNumbers(int mode, const char* keyPath, const SettingNumber* values, size_t count)
{
    std::vector<std::pair<QString, QString>> raw;
    for (size_t i = 0; i < count; ++i) {
        QString key;
        if (!KeyOf(values[i].valueName, key)) return false;
        raw.emplace_back(key, EncodeNumber(values[i].value));
    }
    return WriteRaw(mode, keyPath, raw);
}

bool WriteSettingText(int mode, const char* keyPath, const char* valueName, const char* text)
{
    QString key;
    if (!text || !KeyOf(valueName, key) || !IsValidUtf8(text)) return false;
    return WriteRaw(mode, keyPath, {{key, EncodeText(text)}});
}

bool DeleteSettingValue(int mode, const char* keyPath, const char* valueName)
{
    return DeleteSettingValues(mode, keyPath, &valueName, 1);
}

bool DeleteSettingValues(int mode, const char* keyPath, const char* const* valueNames, size_t count)
{
    QString group;
    if (!GroupOf(keyPath, group)) return false;
    std::vector<QString> keys(count);
    for (size_t i = 0; i < count; ++i)
        if (!KeyOf(valueNames[i], keys[i])) return false;
    return WithSettings(mode, [&](QSettings& settings) {
        settings.beginGroup(group);
        bool changed = false;
        for (const QString& key : keys) {
            if (!settings.contains(key)) continue;
            // QSettings removes a sub-group of the same name with the key; in the registry
            // a value and a sub-key are apart, so the sub-key's values are put back.
            std::vector<std::pair<QString, QVariant>> below;
            settings.beginGroup(key);
            for (const QString& child : settings.allKeys())
                below.emplace_back(key + '/' + child, settings.value(child));
            settings.endGroup();
            settings.remove(key);
            for (const auto& [child, value] : below)
                settings.setValue(child, value);
            changed = true;
        }
        settings.endGroup();
        if (!changed) return true; // nothing to write
        settings.sync();
        return settings.status() != QSettings::AccessError;
    });
}

} // namespace tandrel
