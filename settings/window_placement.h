#pragma once
#include <cstdint>

namespace tandrel {

// Where the main window and the Keyboard Commands window open, kept in the settings. There is
// no window system at this level: the caller passes the desktop's rectangle and the frame,
// menu and caption heights its toolkit reports.

/** A window's outer rectangle in pixels and whether it is maximised. */
struct WindowPlacement
{
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
    bool maximised = false;
};

/** The desktop's rectangle; right and bottom lie just outside it. */
struct DesktopRect
{
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

/** Heights of a window's frame, menu bar and caption. */
struct WindowMetrics
{
    int32_t frameHeight = 0;
    int32_t menuHeight = 0;
    int32_t captionHeight = 0;
};

inline constexpr int32_t kMainWindowMinWidth = 838;
inline constexpr int32_t kMainWindowMinHeight = 610;

/** Reads winX, winY, winWidth, winHeight and winMax. When all five are saved the record takes
    them (width at least 838, height at least 610) and the result is true. Otherwise the
    window gets an 830 × 600 client area, centred on `desktop`, `maximised` is left as it
    was, and the result is false. Any thread; the UI thread uses it. */
bool LoadWindowPlacement(WindowPlacement& placement, const DesktopRect& desktop,
                         const WindowMetrics& metrics);
/** Saves the five values (winMax as 1 or 0) in one write. False when it could not. */
bool SaveWindowPlacement(const WindowPlacement& placement);

/** The Keyboard Commands window: takes KBwinX, KBwinY, KBwinWidth and KBwinHeight when all
    four are saved, the corner lies on the desktop and the size is at least 1 × 1 (true);
    otherwise a 751 × 238 client area centred on the desktop (false). `maximised` is not
    touched. */
bool LoadKeyboardWindowPlacement(WindowPlacement& placement, const DesktopRect& desktop,
                                 const WindowMetrics& metrics);
/** Saves the four values in one write. False when it could not. */
bool SaveKeyboardWindowPlacement(const WindowPlacement& placement);

} // namespace tandrel
