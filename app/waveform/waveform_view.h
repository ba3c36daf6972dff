#pragma once
// The waveform area of the main window: the active Edit as a strip that moves under a fixed
// cue line, and the status band below it.
#include <QElapsedTimer>
#include <QImage>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/waveform/waveform_math.h"

namespace tandrel {
class AudioStream;
class EditView;
}

namespace tandrel::waveform {

class KeyCommands;

/** The colours of the area by role (0xAARRGGBB). */
namespace colours {
inline constexpr QRgb kEmptyBackground = 0xFF202020;
inline constexpr QRgb kEditBackground = 0xFF0E1622;
inline constexpr QRgb kSelectionBackground = 0xFF2C4466;
inline constexpr QRgb kWave = 0xFF3CC85A;
inline constexpr QRgb kSelectedWave = 0xFFF0E060;
inline constexpr QRgb kMasterWave = 0xFFD08A3C;
inline constexpr QRgb kMasterSelectedWave = 0xFFFFD8A8;
inline constexpr QRgb kDivider = 0xFF5A5A5A;
inline constexpr QRgb kCue = 0xFFFF3A30;
inline constexpr QRgb kCueInSelection = 0xFFFFFFFF;
inline constexpr QRgb kStatusBackground = 0xFF2A2A2A;
inline constexpr QRgb kStatusText = 0xFFD8D8D8;
} // namespace colours

/** What the waveform needs from the recorder while it records. */
struct WaveformHooks
{
    /** Bytes appended to the recent-audio ring since it was allocated; the ring's write
        position is this count modulo its size. Empty: the stream's recentAudioWritten. */
    std::function<uint64_t()> recordedBytes;
};

/** The texts of the status band. */
struct StatusTexts
{
    std::string length;    // "Length 0:01:05.20", or what has been recorded so far
    std::string selection; // "Selection 0:00:02.00", empty without a selection
    std::string mode;      // "Master View" or "Normal View", with " / Zoom" while zoomed
    std::string output;    // the output mode's label, empty for normal output
    std::string agc;       // "AGC Enabled" or empty
    std::string space;     // remaining space in the storage folder, as "1234.5 MB free"
    std::string clock;     // the time of day, "14:05:09"
    bool operator==(const StatusTexts&) const = default;
};

/** The status texts for `view` (null: no Edit), with `recorded` bytes of the recording
    format (bytes per second `recordingRate`) while recording, `freeBytes` left in the
    storage folder (negative: unknown) and the clock text. */
StatusTexts MakeStatusTexts(const EditView* view, bool recording, uint64_t recorded,
                            uint32_t recordingRate, int64_t freeBytes, const std::string& clock);

/** Counts kept for tests and measurements. */
struct PaintStats
{
    int imageUpdates = 0;  // paints that brought the off-screen image up to date
    int dirtyColumns = 0;  // columns filled afresh by the last update
    int audioColumns = 0;  // of those, columns drawn from audio
    int totalDirty = 0;    // dirty columns over all updates
};

/** The waveform area with its status band. It shows the main stream's Edit (or, while
    recording, the recent-audio ring) and keeps the drawn picture in an off-screen image, so
    that a scroll only draws the columns it uncovers. UI thread. */
class WaveformView : public QWidget
{
    Q_OBJECT
public:
    explicit WaveformView(QWidget* parent = nullptr);
    ~WaveformView() override;

    /** The stream shown; null (the default) follows MainStream(). */
    void SetStream(AudioStream* stream) { stream_ = stream; RequestRefresh(); }
    AudioStream* Stream() const;

    /** The keys go to `keys` (may be null). */
    void SetKeyCommands(KeyCommands* keys) { keys_ = keys; }

    /** The cue (or the recording) moved: repaint when that moved the picture. */
    void RedrawCue();
    /** What is shown changed (Edit, selection, zoom, Master view, format, a stop): the next
        paint redraws everything. */
    void RequestRefresh();
    /** The status texts may have changed. */
    void RefreshStatus();
    /** Reads the play direction (UserFlags bit 0) again. */
    void ReloadDirection();
    bool ReversedDisplay() const { return reversed_; }

    /** Brings the off-screen image up to date now, as a paint would. */
    void UpdateImage();

    WaveformHooks hooks;

    /** The waveform area inside the widget, and its width in columns. */
    QRect AreaRect() const;
    int AreaWidth() const { return AreaRect().width(); }
    const QImage& Image() const { return image_; }
    const PaintStats& Stats() const { return stats_; }
    const StatusTexts& Status() const { return status_; }

    /** Rows of the status band. */
    static constexpr int kStatusHeight = 22;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    /** A click in the area puts the cue line where it points (playing on from there when
        playing); with Shift it selects from the cue line to there. Not while recording. */
    void mousePressEvent(QMouseEvent* event) override;
    /** The wheel steps the cue line, ten steps a notch (stopping playback, as the arrows do). */
    void wheelEvent(QWheelEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    struct Frame; // what one update draws from
    bool TakeFrame(Frame& frame);
    void DrawColumns(const Frame& frame, ColumnBand band);
    void ScrollImage(int columns);
    void PaintStatus(QPainter& painter);
    void PaintStartHint(QPainter& painter, const QRect& area);
    void UpdateStatusTexts();
    void SchedulePaint();
    int64_t FreeBytes();
    uint64_t RingWritten(const AudioStream& stream) const;

    AudioStream* stream_ = nullptr;
    KeyCommands* keys_ = nullptr;
    QImage image_;
    bool refresh_ = true;
    bool pending_ = true;
    bool reversed_ = false;
    int64_t lastCueColumn_ = 0;
    int64_t lastRecordedColumns_ = 0;
    bool lastWasRecording_ = false;
    uint64_t lastHeard_ = ~uint64_t{0};
    std::vector<uint8_t> scratch_;
    PaintStats stats_;
    StatusTexts status_;
    QTimer clock_;
    QTimer throttle_;
    QElapsedTimer sinceUpdate_;
    QElapsedTimer sinceSpace_;
    int64_t freeBytes_ = -1;
};

/** The zoom toggle (the Zoom command and the Q key): four frames a column instead of 10 ms. */
void ToggleZoom(AudioStream& stream);
/** The Master view toggle (the Master command and the Tab key); only in standby with an
    Edit. True when it switched. */
bool ToggleMasterView(AudioStream& stream);

} // namespace tandrel::waveform
