#include "app/gain_control_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include <functional>

#include "audio/audio_devices.h"
#include "audio/gain_control.h"

namespace tandrel::app {

namespace {

constexpr int kResponsePositions = 90; // 0.1 .. 1.0
constexpr int kReleasePositions = 45;  // 0.95 .. 0.5
constexpr uint32_t kFaderRanges[] = {25, 50, 100};

// A slider with the value it stands for beside it.
QSlider* AddSlider(QFormLayout* form, const QString& name, const char* caption, int last,
                   int position, const std::function<QString(int)>& shown)
{
    auto* row = new QHBoxLayout;
    auto* slider = new QSlider(Qt::Horizontal);
    slider->setObjectName(name + caption);
    slider->setRange(0, last);
    slider->setValue(position);
    auto* value = new QLabel(shown(position));
    value->setMinimumWidth(64);
    QObject::connect(slider, &QSlider::valueChanged, value, [value, shown](int p) { value->setText(shown(p)); });
    row->addWidget(slider);
    row->addWidget(value);
    form->addRow(caption, row);
    return slider;
}

// One side's page; `side` is read back from the controls when OK is pressed.
QWidget* SidePage(const QString& name, AgcSide& side, std::vector<std::function<void()>>& readers)
{
    auto* page = new QWidget;
    auto* form = new QFormLayout(page);
    auto db = [](int offset) { return [offset](int p) { return QString("%1 dB").arg(p - offset); }; };
    QSlider* sensitivity = AddSlider(form, name, "Sensitivity", kAgcSensitivityOffset,
                                     side.sensitivityDb + kAgcSensitivityOffset, db(kAgcSensitivityOffset));
    QSlider* peak = AddSlider(form, name, "Peak", kAgcPeakOffset, side.peakDb + kAgcPeakOffset, db(kAgcPeakOffset));
    QSlider* response = AddSlider(form, name, "Response", kResponsePositions, AgcResponsePosition(side.response),
                                  [](int p) { return QString::number(AgcResponseFromPosition(p), 'f', 2); });
    QSlider* release = AddSlider(form, name, "Release", kReleasePositions, AgcReleasePosition(side.release), [](int p) {
        return QString::number(AgcReleaseShown(AgcReleaseFromPosition(p)), 'f', 2);
    });
    auto* hold = new QSpinBox;
    hold->setRange(0, 30000);
    hold->setSingleStep(100);
    hold->setSuffix(" ms");
    hold->setValue(int(std::min<uint32_t>(side.holdMs, 30000)));
    form->addRow("Hold", hold);
    readers.push_back([&side, sensitivity, peak, response, release, hold] {
        side.sensitivityDb = sensitivity->value() - kAgcSensitivityOffset;
        side.peakDb = peak->value() - kAgcPeakOffset;
        side.response = AgcResponseFromPosition(response->value());
        side.release = AgcReleaseFromPosition(release->value());
        side.holdMs = uint32_t(hold->value());
    });
    return page;
}

} // namespace

bool RunGainControlDialog(QWidget* parent)
{
    AgcSettings settings = ReadAgcSettings();
    std::vector<std::function<void()>> readers;
    QDialog dialog(parent);
    dialog.setObjectName("GainControl");
    dialog.setWindowTitle("Automatic Gain Control");
    auto* layout = new QVBoxLayout(&dialog);

    auto* enable = new QCheckBox("Level the recording automatically", &dialog);
    enable->setChecked(settings.mode != 0);
    layout->addWidget(enable);
    auto* controls = new QWidget(&dialog);
    auto* controlsLayout = new QVBoxLayout(controls);
    controlsLayout->setContentsMargins(0, 0, 0, 0);
    auto* channels = new QComboBox(controls);
    channels->addItems({"Both channels", "Left channel only", "Right channel only"});
    channels->setCurrentIndex(settings.mode >= 2 && settings.mode <= 3 ? int(settings.mode) - 1 : 0);
    controlsLayout->addWidget(channels);
    auto* micOnly = new QCheckBox("Level the microphone only, before carts and decks are mixed in", controls);
    micOnly->setChecked(settings.micOnly);
    controlsLayout->addWidget(micOnly);
    auto* sides = new QTabWidget(controls);
    sides->addTab(SidePage("Left", settings.side[0], readers), "Left");
    sides->addTab(SidePage("Right", settings.side[1], readers), "Right");
    controlsLayout->addWidget(sides);
    layout->addWidget(controls);
    // The check box enables the controls.
    controls->setEnabled(enable->isChecked());
    QObject::connect(enable, &QCheckBox::toggled, controls, &QWidget::setEnabled);

    auto* range = new QGroupBox("Fader range", &dialog);
    auto* rangeLayout = new QHBoxLayout(range);
    auto* rangeGroup = new QButtonGroup(range);
    const uint32_t chosen = DynamicRangeChoice(DynamicRangeMult());
    for (uint32_t value : kFaderRanges) {
        // Hundredths of a dB per fader step: a fine, normal or wide travel.
        auto* button = new QRadioButton(value == 25 ? "Fine" : value == 50 ? "Normal" : "Wide", range);
        button->setChecked(value == chosen);
        rangeGroup->addButton(button, int(value));
        rangeLayout->addWidget(button);
    }
    layout->addWidget(range);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    if (dialog.exec() != QDialog::Accepted) return false;

    for (const auto& read : readers) read();
    settings.mode = enable->isChecked() ? uint32_t(channels->currentIndex() + 1) : 0;
    settings.micOnly = micOnly->isChecked();
    if (!WriteAgcSettings(settings) || !StoreDynamicRangeMult(uint32_t(rangeGroup->checkedId())))
        return false;
    AgcLoadSettings();
    const AudioFormat& format = AudioEngine().recordingFormat;
    AgcInit(format.sampleRate, format.channels, format.bitsPerSample);
    return true;
}

} // namespace tandrel::app
