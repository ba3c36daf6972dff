#pragma once
// The Keyboard Commands window: a picture of the keyboard with a tooltip on every key of the
// key map, naming its command and saying what it does.
#include <QPointer>
#include <QWidget>
#include <vector>

namespace tandrel::waveform {

/** One key of the picture, in key widths from the picture's top-left corner. Keys without a
    title have no command. */
struct KeyRegion
{
    double x, y, width, height;
    const char* label;
    const char* title;
    const char* help;
};

/** Every key of the picture. */
const std::vector<KeyRegion>& KeyboardRegions();
/** The picture's size in key widths. */
QSizeF KeyboardUnits();
/** The key under `point` in a picture drawn over `size` pixels, or -1. */
int KeyRegionAt(QPointF point, QSize size);

/** Tooltips show only while the window is at least this large. */
inline constexpr int kKeyboardTipMinWidth = 375;
inline constexpr int kKeyboardTipMinHeight = 119;

/** The tool window. Its placement is kept in KBwinX, KBwinY, KBwinWidth and KBwinHeight
    whenever it moves or changes size, and restored when it opens. */
class KeyboardCommandsWindow : public QWidget
{
    Q_OBJECT
public:
    explicit KeyboardCommandsWindow(QWidget* parent = nullptr);

    /** The tooltip text for the key under `point` (title, a line break, the help text), or
        empty when there is none or the window is too small for tips. */
    QString TipAt(QPointF point) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool event(QEvent* event) override;

private:
    void SavePlacement();
    bool placed_ = false;
    int tipRegion_ = -1;
};

/** Opens the Keyboard Commands window, or brings it forward when it is open. Returns it. */
KeyboardCommandsWindow* ShowKeyboardCommands(QWidget* parent);

} // namespace tandrel::waveform
