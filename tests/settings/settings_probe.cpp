// Reads or writes one value under the product key and prints what it found, so a test can
// check the settings file from a second process:
//   settings_probe read-number NAME | read-text NAME | write-number NAME VALUE | write-text NAME
//   TEXT
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "settings/settings_store.h"

using namespace tandrel;

int main(int argc, char** argv)
{
    if (argc < 3) return 2;
    const std::string command = argv[1];
    const char* name = argv[2];
    if (command == "read-number") {
        bool found = false;
        const uint32_t value = ReadSettingNumber(kSettingOneAttempt, kProductKey, name, &found);
        if (found)
            std::printf("%u", value);
        else
            std::printf("missing");
        return 0;
    }
    if (command == "read-text") {
        std::string text;
        if (ReadSettingText(kSettingOneAttempt, kProductKey, name, text, 1 << 16))
            std::printf("text:%s", text.c_str());
        else
            std::printf("missing");
        return 0;
    }
    if (argc < 4) return 2;
    if (command == "write-number")
        return WriteSettingNumber(kSettingOneAttempt, kProductKey, name,
                                  uint32_t(std::strtoul(argv[3], nullptr, 10)))
                   ? 0
                   : 1;
    if (command == "write-text")
        return WriteSettingText(kSettingOneAttempt, kProductKey, name, argv[3]) ? 0 : 1;
    return 2;
}
