#include "settings/window_placement.h"

#include <algorithm>

#include "settings/settings_store.h"

namespace tandrel {

namespace {

// Reads `names` in order into `values`, stopping at the first that is missing.
template <size_t N> bool ReadAll(const char* const (&names)[N], int32_t (&values)[N])
{
    for (size_t i = 0; i < N; ++i) {
        bool found = false;
        values[i] = int32_t(ReadSettingNumber(kSettingTwoAttempts, kProductKey, names[i], &found));
        if (!found) return false;
    }
    return true;
}

void CentreOn(const DesktopRect& desktop, WindowPlacement& placement)
{
    // Centred within the desktop's rectangle: a desktop that does not start at 0 (a panel
    // above it) moves the window with it.
    placement.x = desktop.left + (desktop.right - desktop.left) / 2 - placement.width / 2;
    placement.y = desktop.top + (desktop.bottom - desktop.top) / 2 - placement.height / 2;
}

constexpr const char* kMainNames[] = {"winX", "winY", "winWidth", "winHeight", "winMax"};
constexpr const char* kKeyboardNames[] = {"KBwinX", "KBwinY", "KBwinWidth", "KBwinHeight"};

} // namespace

bool LoadWindowPlacement(WindowPlacement& placement, const DesktopRect& desktop,
                         const WindowMetrics& metrics)
{
    int32_t values[5];
    if (ReadAll(kMainNames, values)) {
        placement.x = values[0];
        placement.y = values[1];
        placement.width = std::max(values[2], kMainWindowMinWidth);
        placement.height = std::max(values[3], kMainWindowMinHeight);
        placement.maximised = values[4] != 0;
        return true;
    }
    placement.width = 830 + 2 * metrics.frameHeight;
    placement.height = 600 + 2 * metrics.frameHeight + metrics.menuHeight + metrics.captionHeight;
    CentreOn(desktop, placement);
    return false;
}

bool SaveWindowPlacement(const WindowPlacement& placement)
{
    const SettingNumber values[] = {
        {"winX", uint32_t(placement.x)},           {"winY", uint32_t(placement.y)},
        {"winWidth", uint32_t(placement.width)},   {"winHeight", uint32_t(placement.height)},
        {"winMax", placement.maximised ? 1u : 0u},
    };
    return WriteSettingNumbers(kSettingTwoAttempts, kProductKey, values, std::size(values));
}

bool LoadKeyboardWindowPlacement(WindowPlacement& placement, const DesktopRect& desktop,
                                 const WindowMetrics& metrics)
{
    int32_t values[4];
    if (ReadAll(kKeyboardNames, values)) {
        const int32_t x = values[0], y = values[1], width = values[2], height = values[3];
        const bool onDesktop = x >= 0 && y >= 0 && x >= desktop.left && x < desktop.right &&
                               y >= desktop.top && y < desktop.bottom;
        if (onDesktop && height >= 1 && width > 0) {
            placement.x = x;
            placement.y = y;
            placement.width = width;
            placement.height = height;
            return true;
        }
    }
    placement.width = 751 + 2 * metrics.frameHeight;
    placement.height = 238 + 2 * metrics.frameHeight + metrics.captionHeight;
    CentreOn(desktop, placement);
    return false;
}

bool SaveKeyboardWindowPlacement(const WindowPlacement& placement)
{
    const SettingNumber values[] = {
        {"KBwinX", uint32_t(placement.x)},
        {"KBwinY", uint32_t(placement.y)},
        {"KBwinWidth", uint32_t(placement.width)},
        {"KBwinHeight", uint32_t(placement.height)},
    };
    return WriteSettingNumbers(kSettingTwoAttempts, kProductKey, values, std::size(values));
}

} // namespace tandrel
