#include "app/waveform/transport_panel.h"

#include <QHelpEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QSlider>
#include <QToolTip>
#include <algorithm>
#include <cmath>

#include "app/waveform/key_commands.h"
#include "engine/audio_stream.h"
#include "editing/markers.h"
#include "settings/setting_defaults.h"
#include "settings/settings_store.h"

namespace tandrel::waveform {

namespace {

constexpr int kButtonWidth = 34;
constexpr int kButtonHeight = 30;
constexpr int kButtonGap = 3;
constexpr int kMargin = 6;
constexpr int kMeterWidth = 220;
constexpr int kFaderWidth = 34;

const char* const kButtonNames[kTransportButtonCount] = {
    "Go to Beginning", "Play from Beginning", "Fast Reverse", "Reverse", "Slow Reverse",
    "Play / Stop", "Stop", "Slow Forward", "Forward", "Fast Forward", "Go to End",
    "Play Selection", "Mark Left", "Mark Right", "Record / Stop", "Insert Record / Stop",
};

// The symbol of a button, drawn in a square of `size` around the origin.
void DrawSymbol(QPainter& p, TransportButton button, double size)
{
    const double h = size / 2;
    auto triangle = [&](double x, double w, bool right) {
        QPainterPath path;
        if (right) {
            path.moveTo(x, -h);
            path.lineTo(x + w, 0);
            path.lineTo(x, h);
        } else {
            path.moveTo(x + w, -h);
            path.lineTo(x, 0);
            path.lineTo(x + w, h);
        }
        path.closeSubpath();
        p.drawPath(path);
    };
    auto bar = [&](double x) { p.drawRect(QRectF(x, -h, size / 6, size)); };
    switch (button) {
    case TransportButton::GoToStart: bar(-h); triangle(-h + size / 6, h + h / 2, false); break;
    case TransportButton::GoToEnd: triangle(-h, h + h / 2, true); bar(h - size / 6); break;
    case TransportButton::PlayFromStart: bar(-h); triangle(-h / 2, h + h / 2, true); break;
    case TransportButton::FastReverse: triangle(-h, h, false); triangle(0, h, false); break;
    case TransportButton::FastForward: triangle(-h, h, true); triangle(0, h, true); break;
    case TransportButton::Reverse: triangle(-h / 2, h, false); break;
    case TransportButton::Forward: triangle(-h / 2, h, true); break;
    case TransportButton::SlowReverse:
        p.save(); p.scale(0.6, 0.6); triangle(-h / 2, h, false); p.restore(); break;
    case TransportButton::SlowForward:
        p.save(); p.scale(0.6, 0.6); triangle(-h / 2, h, true); p.restore(); break;
    case TransportButton::Play: triangle(-h / 2, h + h / 2, true); break;
    case TransportButton::Stop: p.drawRect(QRectF(-h * 0.8, -h * 0.8, size * 0.8, size * 0.8)); break;
    case TransportButton::PlaySelection:
        p.drawRect(QRectF(-h, -h, size / 8, size));
        p.drawRect(QRectF(h - size / 8, -h, size / 8, size));
        triangle(-h / 3, h, true);
        break;
    case TransportButton::MarkLeft: p.drawText(QRectF(-h, -h, size, size), Qt::AlignCenter, "["); break;
    case TransportButton::MarkRight: p.drawText(QRectF(-h, -h, size, size), Qt::AlignCenter, "]"); break;
    case TransportButton::Record:
        p.setBrush(QColor(220, 40, 40));
        p.drawEllipse(QPointF(0, 0), h * 0.8, h * 0.8);
        break;
    case TransportButton::InsertRecord:
        p.setBrush(QColor(220, 40, 40));
        p.drawEllipse(QPointF(0, 0), h * 0.5, h * 0.5);
        p.drawRect(QRectF(-h, -h, size / 8, size));
        break;
    }
}

} // namespace

const char* TransportButtonName(TransportButton button)
{
    const int index = int(button);
    return index >= 0 && index < kTransportButtonCount ? kButtonNames[index] : "";
}

int MeterFill(int32_t peak)
{
    if (peak <= 0) return 0;
    const double db = 20.0 * std::log10(std::min(peak, 32768) / 32768.0);
    return int(std::clamp((db + 60.0) / 60.0, 0.0, 1.0) * 1000.0 + 0.5);
}

TransportPanel::TransportPanel(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false);
    auto makeFader = [this](const char* setting, bool record) {
        auto* fader = new QSlider(Qt::Vertical, this);
        fader->setRange(0, 100);
        fader->setValue(int(std::min<uint32_t>(ReadNumberSetting(setting), 100)));
        fader->setToolTip(record ? "Record Level" : "Monitor Level");
        fader->setFocusPolicy(Qt::NoFocus);
        connect(fader, &QSlider::valueChanged, this,
                [this, record](int level) { FaderMoved(record, level); });
        return fader;
    };
    recordFader_ = makeFader("RecordFader", true);
    monitorFader_ = makeFader("MonitorFader", false);
    RefreshTransport();
    UpdatePosition();
}

TransportPanel::~TransportPanel() = default;

AudioStream* TransportPanel::Stream() const { return stream_ ? stream_ : MainStream(); }

QSize TransportPanel::sizeHint() const
{
    return QSize(2 * kMargin + kTransportButtonCount * (kButtonWidth + kButtonGap) + kMeterWidth +
                     2 * kFaderWidth + 40,
                 2 * kMargin + kButtonHeight + 36);
}

QRect TransportPanel::ButtonRect(TransportButton button) const
{
    const int x = kMargin + int(button) * (kButtonWidth + kButtonGap);
    return QRect(x, height() - kMargin - kButtonHeight, kButtonWidth, kButtonHeight);
}

QRect TransportPanel::PositionRect() const
{
    return QRect(kMargin, kMargin, kTransportButtonCount * (kButtonWidth + kButtonGap),
                 height() - 2 * kMargin - kButtonHeight - 4);
}

QRect TransportPanel::MeterRect() const
{
    const int x = kMargin + kTransportButtonCount * (kButtonWidth + kButtonGap) + 10;
    return QRect(x, kMargin, kMeterWidth, height() - 2 * kMargin);
}

int TransportPanel::ButtonAt(QPoint point) const
{
    for (int b = 0; b < kTransportButtonCount; ++b)
        if (ButtonRect(TransportButton(b)).contains(point)) return b;
    return -1;
}

void TransportPanel::SetButtonDown(TransportButton button, bool down)
{
    bool& state = down_[size_t(button)];
    if (state == down) return;
    state = down;
    update(ButtonRect(button));
}

void TransportPanel::RefreshTransport()
{
    AudioStream* stream = Stream();
    const int state = stream ? stream->State() : kStateStandby;
    const QString text = StreamStateText(state, stream && stream->recordPaused);
    if (text != stateText_) {
        stateText_ = text;
        update(PositionRect());
    }
    UpdatePosition();
}

void TransportPanel::UpdatePosition()
{
    AudioStream* stream = Stream();
    QString text = "-:--:--.--";
    if (stream && stream->HasEdit())
        text = QString::fromStdString(
            MarkerTimeText(stream->HeardPosition(), stream->reader->bytesPerSecond));
    if (text == positionText_) return;
    positionText_ = text;
    update(PositionRect());
}

void TransportPanel::ShowMeterReading(int32_t left, int32_t right, bool leftClip, bool rightClip)
{
    meters_.left = left;
    meters_.right = right;
    meters_.leftClip = leftClip;
    meters_.rightClip = rightClip;
    ++meters_.readings;
    update(MeterRect());
}

void TransportPanel::ClearMeters()
{
    meters_ = MeterDisplay{};
    update(MeterRect());
}

int TransportPanel::RecordLevel() const { return recordFader_->value(); }
int TransportPanel::MonitorLevel() const { return monitorFader_->value(); }
void TransportPanel::SetRecordLevel(int level) { recordFader_->setValue(std::clamp(level, 0, 100)); }
void TransportPanel::SetMonitorLevel(int level) { monitorFader_->setValue(std::clamp(level, 0, 100)); }

void TransportPanel::FaderMoved(bool record, int level)
{
    level = std::clamp(level, 0, 100);
    WriteSettingNumber(kSettingTwoAttempts, kProductKey, record ? "RecordFader" : "MonitorFader",
                       uint32_t(level));
    const auto& moved = record ? recordFaderMoved : monitorFaderMoved;
    if (moved) moved(level);
}

void TransportPanel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), QColor(0x30, 0x30, 0x34));

    // Position display and state.
    const QRect position = PositionRect();
    p.fillRect(position, QColor(0x10, 0x10, 0x10));
    QFont big = font();
    big.setPixelSize(std::max(12, position.height() - 8));
    big.setBold(true);
    p.setFont(big);
    p.setPen(QColor(0x60, 0xF0, 0x80));
    p.drawText(position.adjusted(8, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, positionText_);
    QFont small = font();
    small.setPixelSize(std::max(10, position.height() / 2 - 2));
    p.setFont(small);
    p.setPen(stateText_ == "RECORDING" ? QColor(0xFF, 0x50, 0x50) : QColor(0xD0, 0xD0, 0xD0));
    p.drawText(position.adjusted(0, 0, -8, 0), Qt::AlignVCenter | Qt::AlignRight, stateText_);
    p.setFont(font());

    // Buttons.
    for (int b = 0; b < kTransportButtonCount; ++b) {
        const QRect r = ButtonRect(TransportButton(b));
        const bool down = down_[size_t(b)];
        p.setPen(QColor(0x10, 0x10, 0x10));
        p.setBrush(down ? QColor(0x58, 0x60, 0x70) : QColor(0x88, 0x90, 0xA0));
        p.drawRoundedRect(r.adjusted(0, 0, -1, -1), 3, 3);
        p.save();
        p.translate(r.center() + (down ? QPoint(1, 1) : QPoint(0, 0)));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x10, 0x10, 0x18));
        p.setPen(QColor(0x10, 0x10, 0x18));
        DrawSymbol(p, TransportButton(b), kButtonHeight * 0.5);
        p.restore();
    }

    // Meters: one bar per channel, the clip lamp at its end.
    const QRect meters = MeterRect();
    p.fillRect(meters, QColor(0x18, 0x18, 0x18));
    const int channels = meters_.right < 0 ? 1 : 2;
    const int barHeight = (meters.height() - 6) / 2;
    for (int c = 0; c < 2; ++c) {
        const QRect bar(meters.left() + 4, meters.top() + 2 + c * (barHeight + 2),
                        meters.width() - 24, barHeight);
        p.fillRect(bar, QColor(0x28, 0x28, 0x28));
        const int32_t peak = c == 0 || channels == 1 ? meters_.left : meters_.right;
        const int fill = MeterFill(peak) * bar.width() / 1000;
        p.fillRect(QRect(bar.left(), bar.top(), fill, bar.height()),
                   fill > bar.width() * 9 / 10 ? QColor(0xF0, 0xC0, 0x30) : QColor(0x40, 0xD0, 0x60));
        const bool clip = c == 0 || channels == 1 ? meters_.leftClip : meters_.rightClip;
        p.fillRect(QRect(bar.right() + 4, bar.top(), 12, bar.height()),
                   clip ? QColor(0xFF, 0x30, 0x30) : QColor(0x50, 0x20, 0x20));
    }
}

void TransportPanel::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // The faders sit to the right of the meters.
    const int faderX = MeterRect().right() + 10;
    recordFader_->setGeometry(faderX, kMargin, kFaderWidth - 4, height() - 2 * kMargin);
    monitorFader_->setGeometry(faderX + kFaderWidth, kMargin, kFaderWidth - 4, height() - 2 * kMargin);
}

void TransportPanel::mousePressEvent(QMouseEvent* event)
{
    const int button = event->button() == Qt::LeftButton ? ButtonAt(event->position().toPoint()) : -1;
    if (button < 0) return QWidget::mousePressEvent(event);
    mouseButton_ = button;
    if (keys_)
        keys_->ButtonAction(TransportButton(button), true);
    else
        SetButtonDown(TransportButton(button), true);
}

void TransportPanel::mouseReleaseEvent(QMouseEvent* event)
{
    if (mouseButton_ < 0 || event->button() != Qt::LeftButton) return QWidget::mouseReleaseEvent(event);
    const TransportButton button = TransportButton(mouseButton_);
    mouseButton_ = -1;
    if (keys_)
        keys_->ButtonAction(button, false);
    else
        SetButtonDown(button, false);
}

bool TransportPanel::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const int button = ButtonAt(help->pos());
        if (button >= 0)
            QToolTip::showText(help->globalPos(), TransportButtonName(TransportButton(button)), this);
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
}

} // namespace tandrel::waveform
