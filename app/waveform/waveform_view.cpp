#include "app/waveform/waveform_view.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QPainter>
#include <QTime>
#include <algorithm>
#include <cstring>
#include <filesystem>

#include "app/waveform/key_commands.h"
#include "audio/audio_devices.h"
#include "audio/audio_shell.h"
#include "engine/audio_stream.h"
#include "audio/gain_control.h"
#include "audio/output_mode.h"
#include "engine/transport.h"
#include "editing/markers.h"
#include "settings/path_checks.h"
#include "settings/storage.h"
#include "settings/user.h"

namespace tandrel::waveform {

namespace {

using namespace colours;

// Paints driven by the moving cue come no closer together than one normal column.
constexpr int kCuePaintSpacingMs = 10;
// The free space of the storage folder is looked up again after this long.
constexpr int kSpaceRefreshMs = 2000;

inline void Fill(QImage& image, int column, int top, int rows, QRgb colour)
{
    for (int y = top; y < top + rows; ++y)
        reinterpret_cast<QRgb*>(image.scanLine(y))[column] = colour;
}

} // namespace

// One update's view of the audio: where it comes from and how columns map onto it.
struct WaveformView::Frame
{
    bool recording = false;
    bool hasEdit = false;
    ColumnGrid grid;
    uint32_t channels = 0;
    uint32_t bits = 0;
    int64_t cueColumn = 0;    // absolute column at the cue (playback)
    uint64_t length = 0;      // bytes of audio shown
    ScrollShift shift;
    // Playback: the view's render window.
    const EditView* view = nullptr;
    // Recording: the ring and the recorded count.
    const std::vector<uint8_t>* ring = nullptr;
    int64_t completeColumns = 0;
    // Selection, in absolute columns; set only with both marks.
    bool selection = false;
    int64_t selectionFirst = 0;
    int64_t selectionLast = 0;
    bool master = false;
};

StatusTexts MakeStatusTexts(const EditView* view, bool recording, uint64_t recorded,
                            uint32_t recordingRate, int64_t freeBytes, const std::string& clock)
{
    StatusTexts texts;
    if (recording) {
        texts.length = "Recorded " + MarkerTimeText(recorded, recordingRate);
    } else if (view && view->edit.IsOpen()) {
        texts.length = "Length " + MarkerTimeText(view->length, view->bytesPerSecond);
        if (view->HasSelection()) {
            const uint64_t a = std::min(view->leftMark, view->rightMark);
            const uint64_t b = std::max(view->leftMark, view->rightMark);
            texts.selection = "Selection " + MarkerTimeText(b - a, view->bytesPerSecond);
        }
    }
    if (view && view->edit.IsOpen()) {
        texts.mode = view->master ? "Master View" : "Normal View";
        if (view->fineStep) texts.mode += " / Zoom";
    }
    texts.output = OutputModeLabel(CurrentOutputMode());
    if (AgcActive()) texts.agc = "AGC Enabled";
    texts.space = freeBytes < 0 ? FormatMegabytes(freeBytes) : FormatMegabytes(freeBytes) + " free";
    texts.clock = clock;
    return texts;
}

WaveformView::WaveformView(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(200, 80 + kStatusHeight);
    ReloadDirection();
    clock_.setInterval(1000);
    connect(&clock_, &QTimer::timeout, this, &WaveformView::RefreshStatus);
    clock_.start();
    throttle_.setSingleShot(true);
    connect(&throttle_, &QTimer::timeout, this, [this] { update(AreaRect()); });
    sinceUpdate_.start();
}

WaveformView::~WaveformView() = default;

uint64_t WaveformView::RingWritten(const AudioStream& stream) const
{
    return hooks.recordedBytes ? hooks.recordedBytes() : stream.recentAudioWritten;
}

AudioStream* WaveformView::Stream() const { return stream_ ? stream_ : MainStream(); }

QRect WaveformView::AreaRect() const
{
    return QRect(0, 0, width(), std::max(0, height() - kStatusHeight));
}

void WaveformView::ReloadDirection() { reversed_ = !ReadUserFlags().PlayForward(); }

void WaveformView::RequestRefresh()
{
    refresh_ = true;
    pending_ = true;
    update();
}

void WaveformView::RefreshStatus()
{
    UpdateStatusTexts();
}

void WaveformView::SchedulePaint()
{
    pending_ = true;
    const qint64 elapsed = sinceUpdate_.elapsed();
    if (elapsed >= kCuePaintSpacingMs) {
        update(AreaRect());
    } else if (!throttle_.isActive()) {
        throttle_.start(int(kCuePaintSpacingMs - elapsed));
    }
}

void WaveformView::RedrawCue()
{
    AudioStream* stream = Stream();
    if (!stream) return;
    if (stream->recording) {
        const AudioFormat& format = AudioEngine().recordingFormat;
        const ColumnGrid grid{format.avgBytesPerSec, format.blockAlign, false};
        const uint64_t recorded = RingWritten(*stream);
        if (ColumnOf(grid, int64_t(recorded)) != lastRecordedColumns_ || refresh_) SchedulePaint();
        return;
    }
    if (!stream->HasEdit()) return;
    const EditView& view = *stream->reader;
    const uint64_t heard = stream->HeardPosition();
    const ColumnGrid grid{view.bytesPerSecond, view.blockAlign, view.fineStep};
    // A move inside the same column leaves the picture as it is; zoomed, every move shows.
    const bool moved = view.fineStep ? heard != lastHeard_
                                     : ColumnOf(grid, int64_t(heard)) != lastCueColumn_;
    if (moved || refresh_) SchedulePaint();
}

int64_t WaveformView::FreeBytes()
{
    if (sinceSpace_.isValid() && sinceSpace_.elapsed() < kSpaceRefreshMs) return freeBytes_;
    sinceSpace_.start();
    const std::string folder = StorageFolder();
    std::error_code error;
    const std::filesystem::space_info info =
        folder.empty() ? std::filesystem::space_info{} : std::filesystem::space(folder, error);
    freeBytes_ = folder.empty() || error ? -1 : int64_t(info.available);
    return freeBytes_;
}

void WaveformView::UpdateStatusTexts()
{
    AudioStream* stream = Stream();
    const bool recording = stream && stream->recording;
    const uint64_t recorded = recording ? RingWritten(*stream) : 0;
    const EditView* view = stream && stream->HasEdit() ? stream->reader.get() : nullptr;
    const StatusTexts texts =
        MakeStatusTexts(view, recording, recorded, AudioEngine().recordingFormat.avgBytesPerSec,
                        FreeBytes(), QTime::currentTime().toString("hh:mm:ss").toStdString());
    if (texts == status_) return;
    status_ = texts;
    update(QRect(0, height() - kStatusHeight, width(), kStatusHeight));
}

bool WaveformView::TakeFrame(Frame& frame)
{
    const int width = image_.width();
    AudioStream* stream = Stream();
    const bool recording = stream && stream->recording;
    // Going from the Edit to a recording or back shows other audio altogether.
    if (recording != lastWasRecording_) refresh_ = true;
    lastWasRecording_ = recording;
    if (recording) {
        const AudioFormat& format = AudioEngine().recordingFormat;
        frame.recording = true;
        frame.hasEdit = true;
        frame.grid = {format.avgBytesPerSec, format.blockAlign ? format.blockAlign : 1u, false};
        frame.channels = format.channels;
        frame.bits = format.bitsPerSample;
        frame.ring = &stream->recentAudioRing;
        frame.length = RingWritten(*stream);
        frame.completeColumns = ColumnOf(frame.grid, int64_t(frame.length));
        // Fewer columns than at the last paint: a new ring, a new recording.
        if (frame.completeColumns < lastRecordedColumns_) refresh_ = true;
        frame.shift = RecordingShift(frame.completeColumns, lastRecordedColumns_, reversed_,
                                     refresh_, width);
        lastRecordedColumns_ = frame.completeColumns;
        // Nothing new since the last paint: the picture stands.
        return frame.shift.full || frame.shift.columns != 0;
    }
    if (!stream || !stream->HasEdit()) {
        frame.shift = {};
        return true;
    }
    const EditView& view = *stream->reader;
    frame.hasEdit = true;
    frame.view = &view;
    frame.grid = {view.bytesPerSecond, view.blockAlign ? view.blockAlign : 1u, view.fineStep};
    frame.channels = view.channels;
    frame.bits = view.bitsPerSample;
    frame.length = view.length;
    frame.master = view.master;
    lastHeard_ = stream->HeardPosition();
    frame.cueColumn = ColumnOf(frame.grid, int64_t(lastHeard_));
    frame.shift = CueShift(frame.cueColumn, lastCueColumn_, reversed_, refresh_, view.fineStep,
                           width);
    lastCueColumn_ = frame.cueColumn;
    if (view.leftMark != kNoPosition && view.rightMark != kNoPosition) {
        frame.selection = true;
        frame.selectionFirst = ColumnOf(frame.grid, int64_t(std::min(view.leftMark, view.rightMark)));
        frame.selectionLast = ColumnOf(frame.grid, int64_t(std::max(view.leftMark, view.rightMark)));
    }
    return true;
}

void WaveformView::ScrollImage(int columns)
{
    const int width = image_.width();
    const int keep = width - std::abs(columns);
    for (int y = 0; y < image_.height(); ++y) {
        QRgb* row = reinterpret_cast<QRgb*>(image_.scanLine(y));
        if (columns > 0)
            std::memmove(row, row + columns, size_t(keep) * sizeof(QRgb));
        else
            std::memmove(row - columns, row, size_t(keep) * sizeof(QRgb));
    }
}

void WaveformView::UpdateImage()
{
    const QRect area = AreaRect();
    if (area.width() <= 0 || area.height() <= 0) return;
    if (image_.size() != area.size()) {
        image_ = QImage(area.size(), QImage::Format_RGB32);
        refresh_ = true;
    }
    UpdateStatusTexts();
    Frame frame;
    const bool draw = TakeFrame(frame);
    pending_ = false;
    sinceUpdate_.restart();
    if (!draw) return;
    const int width = image_.width();
    if (!frame.shift.full) ScrollImage(frame.shift.columns);
    refresh_ = false;
    const ColumnBand band = DirtyBand(frame.shift, width);

    const QRgb background = frame.hasEdit ? kEditBackground : kEmptyBackground;
    for (int y = 0; y < image_.height(); ++y) {
        QRgb* row = reinterpret_cast<QRgb*>(image_.scanLine(y));
        std::fill(row + band.first, row + band.End(), background);
    }
    const StripLayout strips = LayoutStrips(image_.height(), frame.channels);
    if (frame.hasEdit && strips.dividerTop >= 0)
        for (int y = strips.dividerTop; y < strips.dividerTop + StripLayout::kDividerRows; ++y) {
            QRgb* row = reinterpret_cast<QRgb*>(image_.scanLine(y));
            std::fill(row + band.first, row + band.End(), kDivider);
        }

    ++stats_.imageUpdates;
    stats_.dirtyColumns = band.count;
    stats_.totalDirty += band.count;
    stats_.audioColumns = 0;
    if (frame.hasEdit) DrawColumns(frame, band);
}

void WaveformView::DrawColumns(const Frame& frame, ColumnBand band)
{
    const int width = image_.width();
    const StripLayout strips = LayoutStrips(image_.height(), frame.channels);

    // The columns that hold audio, and the absolute column shown in area column c.
    ColumnBand extent;
    int64_t newest = 0;
    if (frame.recording) {
        // The newest complete column stands at the right edge (the left edge when reversed);
        // columns whose audio the ring no longer holds are skipped below.
        newest = frame.completeColumns - 1;
        const int count = int(std::min<int64_t>(frame.completeColumns, width));
        extent = reversed_ ? ColumnBand{0, count} : ColumnBand{width - count, count};
    } else {
        extent = EditColumns(frame.grid, frame.cueColumn, frame.length, width, reversed_);
    }
    auto absoluteOf = [&](int c) -> int64_t {
        if (frame.recording) return reversed_ ? newest - c : newest - (width - 1 - c);
        return AbsoluteColumn(c, frame.cueColumn, width, reversed_);
    };

    const int first = std::max(band.first, extent.first);
    const int end = std::min(band.End(), extent.End());
    const bool drawAudio = frame.bits == 16;
    const QRgb wave = frame.master ? kMasterWave : kWave;
    const QRgb selectedWave = frame.master ? kMasterSelectedWave : kSelectedWave;
    const bool zoomed = frame.grid.zoomed;
    // Zoomed pictures are always drawn whole: the line starts afresh at the first column.
    int zoomLastRow[2] = {-1, -1};

    for (int c = first; c < end; ++c) {
        const int64_t absolute = absoluteOf(c);
        const bool selected = frame.selection && absolute >= frame.selectionFirst &&
                              absolute <= frame.selectionLast;
        if (selected) {
            for (int s = 0; s < strips.count; ++s)
                Fill(image_, c, strips.top[s], strips.height[s], kSelectionBackground);
        }
        if (!drawAudio) continue;

        // The column's bytes: from the render window, or from the recent-audio ring.
        const int64_t start = ColumnStart(frame.grid, absolute);
        int64_t count = std::min<int64_t>(ColumnStart(frame.grid, absolute + 1), int64_t(frame.length)) - start;
        if (count <= 0 || start < 0) continue;
        const uint8_t* bytes = nullptr;
        scratch_.resize(size_t(count));
        if (frame.recording) {
            const std::vector<uint8_t>& ring = *frame.ring;
            if (ring.empty() || int64_t(frame.length) - start > int64_t(ring.size())) continue;
            size_t at = size_t(uint64_t(start) % ring.size());
            const size_t firstPart = std::min(size_t(count), ring.size() - at);
            std::memcpy(scratch_.data(), ring.data() + at, firstPart);
            std::memcpy(scratch_.data() + firstPart, ring.data(), size_t(count) - firstPart);
            bytes = scratch_.data();
        } else {
            const EditView& view = *frame.view;
            if (uint64_t(start) < view.windowStart ||
                uint64_t(start + count) > view.windowStart + view.ring.Size())
                continue; // beyond what the window holds
            const RingPieces pieces = view.ReadWindow(uint32_t(uint64_t(start) - view.windowStart));
            if (pieces.size[0] >= count) {
                bytes = pieces.data[0];
            } else {
                if (pieces.Total() < count) continue;
                std::memcpy(scratch_.data(), pieces.data[0], pieces.size[0]);
                std::memcpy(scratch_.data() + pieces.size[0], pieces.data[1],
                            size_t(count) - pieces.size[0]);
                bytes = scratch_.data();
            }
        }
        ++stats_.audioColumns;
        const QRgb pen = selected ? selectedWave : wave;
        if (!zoomed) {
            const ColumnPeak peak = PeakOf(bytes, uint32_t(count), frame.channels);
            for (int s = 0; s < strips.count; ++s) {
                const int rows = PeakRows(peak.peak[s], strips.height[s]);
                Fill(image_, c, strips.top[s] + strips.height[s] - rows, rows, pen);
            }
        } else {
            for (int s = 0; s < strips.count; ++s) {
                if (count < 2 * (s + 1)) continue;
                const int16_t sample = int16_t(uint16_t(bytes[2 * s] | bytes[2 * s + 1] << 8));
                const int row = ZoomRow(sample, strips.top[s], strips.height[s]);
                const int from = zoomLastRow[s] < 0 ? row : zoomLastRow[s];
                Fill(image_, c, std::min(from, row), std::abs(from - row) + 1, pen);
                zoomLastRow[s] = row;
            }
        }
    }
    // Marks in one column: a line of the selection colour.
    if (frame.selection && frame.selectionFirst == frame.selectionLast && !frame.recording) {
        const int64_t c = AreaColumn(frame.selectionFirst, frame.cueColumn, width, reversed_);
        if (c >= band.first && c < band.End() && c >= extent.first && c < extent.End())
            Fill(image_, int(c), 0, image_.height(), kSelectedWave);
    }
}

void WaveformView::PaintStatus(QPainter& painter)
{
    const QRect band(0, height() - kStatusHeight, width(), kStatusHeight);
    painter.fillRect(band, QColor::fromRgb(kStatusBackground));
    painter.setPen(QColor::fromRgb(kStatusText));
    const std::string* fields[] = {&status_.length, &status_.selection, &status_.mode,
                                   &status_.output, &status_.agc, &status_.space};
    int x = 6;
    const QFontMetrics metrics = painter.fontMetrics();
    for (const std::string* field : fields) {
        if (field->empty()) continue;
        const QString text = QString::fromStdString(*field);
        painter.drawText(QRect(x, band.top(), band.width() - x, band.height()),
                         Qt::AlignVCenter | Qt::AlignLeft, text);
        x += metrics.horizontalAdvance(text) + 18;
    }
    painter.drawText(band.adjusted(0, 0, -6, 0), Qt::AlignVCenter | Qt::AlignRight,
                     QString::fromStdString(status_.clock));
}

void WaveformView::PaintStartHint(QPainter& painter, const QRect& area)
{
    // A first start shows what to do rather than an empty dark area.
    painter.setPen(QColor::fromRgb(kStatusText));
    painter.drawText(area, Qt::AlignCenter | Qt::TextWordWrap,
                     "No Edit is open.\n\n"
                     "Press R or the red Record button to record a new one.\n"
                     "Press Ctrl+O to open an Edit from the Library.");
}

void WaveformView::paintEvent(QPaintEvent* event)
{
    const QRect area = AreaRect();
    QPainter painter(this);
    if (event->rect().intersects(area)) {
        if (pending_ || image_.size() != area.size()) UpdateImage();
        painter.drawImage(area.topLeft(), image_);
        AudioStream* stream = Stream();
        if (stream && stream->HasEdit() && !stream->recording && area.width() > 1) {
            const EditView& view = *stream->reader;
            const int cue = CueColumn(area.width());
            const uint64_t heard = stream->HeardPosition();
            const bool inSelection = view.HasSelection() &&
                                     heard >= std::min(view.leftMark, view.rightMark) &&
                                     heard < std::max(view.leftMark, view.rightMark);
            const int x = reversed_ ? cue - 1 : cue;
            painter.fillRect(QRect(x, area.top(), 2, area.height()),
                             QColor::fromRgb(inSelection ? kCueInSelection : kCue));
        } else if (!stream || (!stream->HasEdit() && !stream->recording)) {
            PaintStartHint(painter, area);
        }
    }
    if (event->rect().bottom() >= height() - kStatusHeight) PaintStatus(painter);
}

void WaveformView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // The recent-audio ring holds one column of 10 ms for every pixel of the width.
    AudioStream* stream = Stream();
    if (stream && !stream->recording)
        stream->SetRecentSeconds(uint8_t(std::clamp(AreaWidth() / 100, 1, 255)));
    RequestRefresh();
}

bool WaveformView::event(QEvent* event)
{
    // Tab is a key of the key map here, not a move to the next control.
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
        auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) && keys_) {
            if (keys_->HandleKey(key, event->type() == QEvent::KeyPress)) return true;
        }
    }
    return QWidget::event(event);
}

void WaveformView::keyPressEvent(QKeyEvent* event)
{
    if (keys_ && keys_->HandleKey(event, true)) return;
    QWidget::keyPressEvent(event);
}

void WaveformView::mousePressEvent(QMouseEvent* event)
{
    AudioStream* stream = Stream();
    const QPoint at = event->position().toPoint();
    if (event->button() != Qt::LeftButton || !stream || !stream->HasEdit() || stream->recording ||
        !AreaRect().contains(at)) {
        QWidget::mousePressEvent(event);
        return;
    }
    setFocus();
    EditView& view = *stream->reader;
    const ColumnGrid grid{view.bytesPerSecond, view.blockAlign, view.fineStep};
    const uint64_t cue = stream->playing ? stream->HeardPosition() : view.cursor;
    const uint64_t position =
        PositionAtColumn(grid, at.x() - AreaRect().left(), cue, view.length, AreaWidth(), reversed_);
    if (event->modifiers() & Qt::ShiftModifier) {
        view.leftMark = std::min(cue, position);
        view.rightMark = std::max(cue, position);
    } else if (stream->playing) {
        const bool reverse = stream->reverse;
        TransportCommand(*stream, kTransportStop, reverse);
        view.SetCursor(position, true);
        TransportCommand(*stream, kTransportPlay, reverse);
    } else {
        view.SetCursor(position, true);
    }
    TheAudioShell().RedrawCueAndOverview();
    RequestRefresh();
    RefreshStatus();
    event->accept();
}

void WaveformView::wheelEvent(QWheelEvent* event)
{
    AudioStream* stream = Stream();
    const int notches = event->angleDelta().y() / 120;
    if (!stream || !stream->HasEdit() || stream->recording || notches == 0) {
        QWidget::wheelEvent(event);
        return;
    }
    // Away from the person (a positive turn) moves back in time, as a scroll up does in a list.
    StepCue(*stream, -10 * int64_t(notches));
    RequestRefresh();
    RefreshStatus();
    event->accept();
}

void WaveformView::keyReleaseEvent(QKeyEvent* event)
{
    if (keys_ && keys_->HandleKey(event, false)) return;
    QWidget::keyReleaseEvent(event);
}

void WaveformView::focusOutEvent(QFocusEvent* event)
{
    // Keys that go up elsewhere must not stay held here.
    if (keys_) keys_->ReleaseAll();
    QWidget::focusOutEvent(event);
}

void ToggleZoom(AudioStream& stream)
{
    if (!stream.HasEdit()) return;
    ToggleFineStep(stream);
    TheAudioShell().FlagWaveformsForRefresh();
}

bool ToggleMasterView(AudioStream& stream)
{
    if (!stream.HasEdit() || stream.State() != kStateStandby) return false;
    EditView& view = *stream.reader;
    view.SetMasterView(!view.master, true);
    TheAudioShell().FlagWaveformsForRefresh();
    TheAudioShell().EditChanged();
    return true;
}

} // namespace tandrel::waveform
