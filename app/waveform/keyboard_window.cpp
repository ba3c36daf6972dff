#include "app/waveform/keyboard_window.h"

#include <QGuiApplication>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QToolTip>

#include "settings/window_placement.h"

namespace tandrel::waveform {

namespace {

constexpr const char* kWindowTitle = "Tandrel Keyboard Commands";
constexpr int kTipShowMs = 30000;

const char* const kCartTitle = "Cart Keys";
const char* const kCartHelp =
    "Press two digits in a row to start or stop a cart: the first digit picks the column, the "
    "second the row (3 then 4 is the fourth cart of the third column).";

std::vector<KeyRegion> MakeRegions()
{
    std::vector<KeyRegion> keys;
    auto key = [&](double x, double y, double w, const char* label, const char* title = nullptr,
                   const char* help = nullptr, double h = 1.0) {
        keys.push_back({x, y, w, h, label, title, help});
    };
    // Function row.
    key(0, 0, 1, "Esc", "Cancel Recording", "Cancels the recording or insert recording in progress.");
    // Digits.
    double x = 0;
    const double y1 = 1.5, y2 = 2.5, y3 = 3.5, y4 = 4.5, y5 = 5.5;
    key(x, y1, 1, "`");
    const char* digits[] = {"1", "2", "3", "4", "5", "6", "7", "8", "9"};
    for (int i = 0; i < 9; ++i) key(1 + i, y1, 1, digits[i], kCartTitle, kCartHelp);
    key(10, y1, 1, "0");
    key(11, y1, 1, "-");
    key(12, y1, 1, "=");
    key(13, y1, 2, "Backspace", "Delete Selection", "Deletes the selected audio.");
    // Top letter row.
    key(0, y2, 1.5, "Tab", "Master View", "Switches between the Master view and the normal view of the Edit.");
    x = 1.5;
    key(x++, y2, 1, "Q", "Zoom", "Switches the waveform between the normal and the zoomed view.");
    key(x++, y2, 1, "W");
    key(x++, y2, 1, "E", "Export", "Exports the active file.");
    key(x++, y2, 1, "R", "Record / Stop", "Starts a new recording, or stops the one in progress.");
    key(x++, y2, 1, "T", "Delete from Library", "Deletes files from the Library.");
    key(x++, y2, 1, "Y", "Redo", "Redoes the last change undone.");
    key(x++, y2, 1, "U");
    key(x++, y2, 1, "I", "Insert Record / Stop", "Records into the Edit at the cue line, or stops that recording.");
    key(x++, y2, 1, "O", "Open from Library", "Opens a file from the Library.");
    key(x++, y2, 1, "P", "Play from Beginning", "Plays the Edit from its beginning.");
    key(x++, y2, 1, "[", "Mark Left", "Sets the start of the selection at the cue line.");
    key(x++, y2, 1, "]", "Mark Right", "Sets the end of the selection at the cue line.");
    key(x, y2, 1.5, "\\");
    // Home row.
    key(0, y3, 1.75, "Caps");
    x = 1.75;
    key(x++, y3, 1, "A", "Select All", "Selects the whole Edit.");
    key(x++, y3, 1, "S");
    key(x++, y3, 1, "D");
    key(x++, y3, 1, "F");
    key(x++, y3, 1, "G");
    key(x++, y3, 1, "H");
    key(x++, y3, 1, "J");
    key(x++, y3, 1, "K", "Clear Selection", "Removes the selection.");
    key(x++, y3, 1, "L");
    key(x++, y3, 1, ";");
    key(x++, y3, 1, "'");
    key(x, y3, 2.25, "Enter");
    // Bottom letter row.
    key(0, y4, 2.25, "Shift", "Normal Speed", "Hold with an arrow key to scrub at normal speed.");
    x = 2.25;
    key(x++, y4, 1, "Z", "Undo", "Undoes the last change.");
    key(x++, y4, 1, "X", "Cut", "Cuts the selection to the clipboard.");
    key(x++, y4, 1, "C", "Copy", "Copies the selection to the clipboard.");
    key(x++, y4, 1, "V", "Paste", "Pastes the clipboard at the cue line.");
    key(x++, y4, 1, "B", "Bleep", "Bleeps the selected audio.");
    key(x++, y4, 1, "N", "New File from Selection", "Makes a new file from the selection.");
    key(x++, y4, 1, "M", "Marker", "Inserts a marker at the cue line, or at the current position while playing or recording.");
    key(x++, y4, 1, ",", "Fade In", "Fades the selection in.");
    key(x++, y4, 1, ".", "Fade Out", "Fades the selection out.");
    key(x++, y4, 1, "/");
    key(x, y4, 2.75, "Shift", "Normal Speed", "Hold with an arrow key to scrub at normal speed.");
    // Space row.
    key(0, y5, 1.5, "Ctrl", "Slow Speed / Pause", "Hold with an arrow key to scrub at slow speed; with Space, pauses.");
    key(1.5, y5, 1.25, "Win");
    key(2.75, y5, 1.25, "Alt");
    key(4, y5, 6.25, "Space", "Play / Stop", "Plays from the cue line, or stops; stops a recording.");
    key(10.25, y5, 1.25, "Alt");
    key(11.5, y5, 1.25, "Win");
    key(12.75, y5, 1, "Menu");
    key(13.75, y5, 1.25, "Ctrl", "Slow Speed / Pause", "Hold with an arrow key to scrub at slow speed; with Space, pauses.");
    // Navigation keys.
    const double n = 15.5;
    key(n, y1, 1, "Ins");
    key(n + 1, y1, 1, "Home", "Go to Beginning", "Moves the cue line to the beginning; with Shift, to the start of the selection.");
    key(n + 2, y1, 1, "PgUp", "Page Left", "Moves the waveform one screen to the left.");
    key(n, y2, 1, "Del", "Delete Selection", "Deletes the selected audio.");
    key(n + 1, y2, 1, "End", "Go to End", "Moves the cue line to the end; with Shift, to the end of the selection.");
    key(n + 2, y2, 1, "PgDn", "Page Right", "Moves the waveform one screen to the right.");
    key(n + 1, y4, 1, "Up", "Stop", "Stops playing.");
    key(n, y5, 1, "Left", "Scrub Reverse", "Hold this key down to play backwards: fast, normal with Shift, slow with Ctrl.");
    key(n + 1, y5, 1, "Down", "Stop", "Stops playing.");
    key(n + 2, y5, 1, "Right", "Scrub Forward", "Hold this key down to play forwards: fast, normal with Shift, slow with Ctrl.");
    // Numeric keypad.
    const double k = 19;
    key(k, y1, 1, "Num", "Left End", "Goes to the left end of the waveform.");
    key(k + 1, y1, 1, "/", "Mark Left", "Sets the start of the selection at the cue line.");
    key(k + 2, y1, 1, "*", "Mark Right", "Sets the end of the selection at the cue line.");
    key(k + 3, y1, 1, "-", "Right End", "Goes to the right end of the waveform; with Shift, to the selection's edge.");
    key(k, y2, 1, "7", "Play from Beginning", "Plays the Edit from its beginning.");
    key(k + 1, y2, 1, "8", "Scrub Fast Reverse", "Hold this key down to play backwards at fast speed.");
    key(k + 2, y2, 1, "9", "Scrub Fast Forward", "Hold this key down to play forwards at fast speed.");
    key(k + 3, y2, 1, "+", "Record / Stop", "Starts a new recording, or stops the one in progress.", 2);
    key(k, y3, 1, "4", "Play Selection", "Plays the selection.");
    key(k + 1, y3, 1, "5", "Scrub Reverse", "Hold this key down to play backwards at normal speed.");
    key(k + 2, y3, 1, "6", "Scrub Forward", "Hold this key down to play forwards at normal speed.");
    key(k, y4, 1, "1");
    key(k + 1, y4, 1, "2", "Scrub Slow Reverse", "Hold this key down to play backwards at slow speed.");
    key(k + 2, y4, 1, "3", "Scrub Slow Forward", "Hold this key down to play forwards at slow speed.");
    key(k + 3, y4, 1, "Enter", "Play / Stop", "Plays from the cue line, or stops.", 2);
    key(k, y5, 2, "0", "Insert Record / Stop", "Records into the Edit at the cue line, or stops that recording.");
    key(k + 2, y5, 1, ".", "Delete Selection", "Deletes the selected audio.");
    return keys;
}

QRectF Scaled(const KeyRegion& key, QSize size)
{
    const QSizeF units = KeyboardUnits();
    const double sx = size.width() / units.width();
    const double sy = size.height() / units.height();
    return QRectF(key.x * sx, key.y * sy, key.width * sx, key.height * sy);
}

QPointer<KeyboardCommandsWindow>& OpenWindow()
{
    static QPointer<KeyboardCommandsWindow> window;
    return window;
}

} // namespace

const std::vector<KeyRegion>& KeyboardRegions()
{
    static const std::vector<KeyRegion> regions = MakeRegions();
    return regions;
}

QSizeF KeyboardUnits() { return QSizeF(23.0, 6.5); }

int KeyRegionAt(QPointF point, QSize size)
{
    const std::vector<KeyRegion>& keys = KeyboardRegions();
    for (size_t i = 0; i < keys.size(); ++i)
        if (Scaled(keys[i], size).contains(point)) return int(i);
    return -1;
}

KeyboardCommandsWindow::KeyboardCommandsWindow(QWidget* parent) : QWidget(parent, Qt::Tool)
{
    setWindowTitle(kWindowTitle);
    setAttribute(Qt::WA_DeleteOnClose);
    setMouseTracking(true);
    setMinimumSize(120, 40);
    setStyleSheet("QToolTip { background-color: #CCCCCC; color: black; }");

    WindowPlacement placement;
    DesktopRect desktop{0, 0, 1024, 768};
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        desktop = {area.left(), area.top(), area.left() + area.width(), area.top() + area.height()};
    }
    LoadKeyboardWindowPlacement(placement, desktop, WindowMetrics{});
    setGeometry(placement.x, placement.y, placement.width, placement.height);
    placed_ = true;
}

QString KeyboardCommandsWindow::TipAt(QPointF point) const
{
    if (width() < kKeyboardTipMinWidth || height() < kKeyboardTipMinHeight) return {};
    const int region = KeyRegionAt(point, size());
    if (region < 0) return {};
    const KeyRegion& key = KeyboardRegions()[size_t(region)];
    if (!key.title) return {};
    return QStringLiteral("<b>%1</b><br>%2").arg(key.title, key.help ? key.help : "");
}

void KeyboardCommandsWindow::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), QColor(0x3A, 0x3A, 0x40));
    QFont font = p.font();
    const double unit = width() / KeyboardUnits().width();
    font.setPixelSize(std::max(6, int(unit * 0.28)));
    p.setFont(font);
    for (const KeyRegion& key : KeyboardRegions()) {
        const QRectF r = Scaled(key, size()).adjusted(1.5, 1.5, -1.5, -1.5);
        p.setPen(QColor(0x20, 0x20, 0x20));
        p.setBrush(key.title ? QColor(0xE8, 0xE4, 0xD0) : QColor(0x90, 0x90, 0x90));
        p.drawRoundedRect(r, 3, 3);
        p.setPen(QColor(0x10, 0x10, 0x10));
        p.drawText(r.adjusted(3, 2, -2, -2), Qt::AlignLeft | Qt::AlignTop, key.label);
    }
}

void KeyboardCommandsWindow::mouseMoveEvent(QMouseEvent* event)
{
    // Tips come at once as the pointer reaches a key, not after the usual delay.
    const QPointF point = event->position();
    const int region = KeyRegionAt(point, size());
    if (region != tipRegion_) {
        tipRegion_ = region;
        const QString tip = TipAt(point);
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(event->globalPosition().toPoint(), tip, this,
                               Scaled(KeyboardRegions()[size_t(region)], size()).toRect(),
                               kTipShowMs);
    }
    QWidget::mouseMoveEvent(event);
}

bool KeyboardCommandsWindow::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QString tip = TipAt(help->pos());
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), tip, this, {}, kTipShowMs);
        return true;
    }
    return QWidget::event(event);
}

void KeyboardCommandsWindow::SavePlacement()
{
    if (!placed_ || !isVisible()) return;
    const QRect g = geometry();
    SaveKeyboardWindowPlacement(WindowPlacement{g.x(), g.y(), g.width(), g.height(), false});
}

void KeyboardCommandsWindow::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    SavePlacement();
}

void KeyboardCommandsWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    SavePlacement();
}

void KeyboardCommandsWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    tipRegion_ = -1;
}

KeyboardCommandsWindow* ShowKeyboardCommands(QWidget* parent)
{
    QPointer<KeyboardCommandsWindow>& window = OpenWindow();
    if (!window) window = new KeyboardCommandsWindow(parent);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

} // namespace tandrel::waveform
