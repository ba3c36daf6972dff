#include "app/dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include <QClipboard>

#include "app/studio.h"
#include "audio/audio_devices_dialog.h"
#include "engine/scrub_settings.h"
#include "editing/markers.h"
#include "library/edit_map.h"
#include "library/library_moves.h"
#include "settings/file_dialog_places.h"
#include "settings/file_locations.h"

namespace tandrel::app {

namespace {

// How often an open picker looks at the database again.
constexpr int kPickerRefreshMs = 2000;

struct ListedEdit
{
    std::string title;
    EditInfo info;
};

// An account nobody has saved an Edit in yet has no folder, and nothing to list: its
// database is not looked for (that would report the missing folder).
bool AccountExists(const Account& account)
{
    return QFileInfo(QString::fromStdString(account.Folder())).isDir();
}

std::vector<ListedEdit> ListAccount(const Account& account)
{
    std::vector<ListedEdit> edits;
    if (!AccountExists(account)) return edits;
    EditMap* map = GetEditMap(account.location, account.name);
    if (!map) return edits;
    ListedEdit edit;
    for (bool more = MapFirst(map, edit.info, edit.title); more;
         more = MapNext(map, edit.info, edit.title))
        edits.push_back(edit);
    ReleaseEditMap(map);
    return edits;
}

QString LengthText(uint32_t hundredths)
{
    return QString("%1:%2:%3.%4")
        .arg(hundredths / 360000)
        .arg(hundredths / 100 % 3600 / 60, 2, 10, QChar('0'))
        .arg(hundredths / 100 % 60, 2, 10, QChar('0'))
        .arg(hundredths % 100, 2, 10, QChar('0'));
}

QString DateText(uint32_t seconds)
{
    return QDateTime::fromSecsSinceEpoch(seconds).toString("yyyy-MM-dd HH:mm");
}

QString SizeText(uint32_t bytes)
{
    return QString("%1 MB").arg(bytes / (1024.0 * 1024.0), 0, 'f', 1);
}

// A tree item that sorts numbers as numbers: each column keeps its sort key in a role.
class EditItem : public QTreeWidgetItem
{
public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem& other) const override
    {
        const int column = treeWidget() ? treeWidget()->sortColumn() : 0;
        const QVariant a = data(column, Qt::UserRole), b = other.data(column, Qt::UserRole);
        if (a.isValid() && b.isValid()) return a.toLongLong() < b.toLongLong();
        return text(column).localeAwareCompare(other.text(column)) < 0;
    }
};

} // namespace

bool LibraryHasEdits(const Account& account)
{
    if (!AccountExists(account)) return false;
    EditMap* map = GetEditMap(account.location, account.name);
    if (!map) return false;
    EditInfo info;
    std::string title;
    const bool any = MapFirst(map, info, title);
    if (any) MapEndEnumeration(map);
    ReleaseEditMap(map);
    return any;
}

LibraryPicker::LibraryPicker(const Account& account, Mode mode, QWidget* parent)
    : QDialog(parent), account_(account), mode_(mode)
{
    setWindowTitle(mode == Mode::Open ? "Open from Library" : "Delete from Library");
    resize(720, 420);
    auto* layout = new QVBoxLayout(this);
    list_ = new QTreeWidget(this);
    list_->setObjectName("edits");
    list_->setHeaderLabels({"Name", "Length", "Modified", "Created", "Size", "Format"});
    list_->setRootIsDecorated(false);
    list_->setSortingEnabled(true);
    list_->sortByColumn(0, Qt::AscendingOrder);
    list_->setSelectionMode(mode == Mode::Open ? QAbstractItemView::SingleSelection
                                               : QAbstractItemView::ExtendedSelection);
    layout->addWidget(list_);
    auto* buttons = new QDialogButtonBox(this);
    accept_ = buttons->addButton(mode == Mode::Open ? "Open" : "Delete",
                                 QDialogButtonBox::AcceptRole);
    QPushButton* copy = buttons->addButton("Copy", QDialogButtonBox::ActionRole);
    buttons->addButton(QDialogButtonBox::Cancel);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (!Chosen().empty()) accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(copy, &QPushButton::clicked, this, [this] {
        const std::vector<std::string> chosen = Chosen();
        if (chosen.empty()) return;
        CopySelectedFiles(account_, chosen);
        Refill();
    });
    connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] {
        if (mode_ == Mode::Open && !Chosen().empty()) accept();
    });
    auto update = [this, copy] {
        const bool any = !Chosen().empty();
        accept_->setEnabled(any);
        copy->setEnabled(any);
    };
    connect(list_, &QTreeWidget::itemSelectionChanged, this, update);
    Refill();
    update();
    // Other programs (and auto-import) add Edits while the picker is open.
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &LibraryPicker::Refill);
    timer->start(kPickerRefreshMs);
}

void LibraryPicker::Refill()
{
    const std::vector<ListedEdit> edits = ListAccount(account_);
    // The periodic look leaves the list alone (scroll position and all) when nothing changed.
    std::string signature;
    for (const ListedEdit& edit : edits)
        signature += edit.title + '\n' + std::to_string(edit.info.modified) + ' ' +
                     std::to_string(edit.info.length0) + ' ' + std::to_string(edit.info.fileSize) + '\n';
    if (signature == shown_ && list_->topLevelItemCount() == int(edits.size())) return;
    shown_ = signature;
    const std::vector<std::string> chosen = Chosen();
    list_->setSortingEnabled(false);
    list_->clear();
    for (const ListedEdit& edit : edits) {
        auto* item = new EditItem(list_);
        const EditInfo& info = edit.info;
        item->setText(0, QString::fromStdString(edit.title));
        item->setText(1, LengthText(info.length0));
        item->setData(1, Qt::UserRole, qlonglong(info.length0));
        item->setText(2, DateText(info.modified));
        item->setData(2, Qt::UserRole, qlonglong(info.modified));
        item->setText(3, DateText(info.created));
        item->setData(3, Qt::UserRole, qlonglong(info.created));
        item->setText(4, SizeText(info.fileSize));
        item->setData(4, Qt::UserRole, qlonglong(info.fileSize));
        item->setText(5, QString("%1-%2-%3ch").arg(info.sampleRate).arg(info.bitsPerSample).arg(info.channels));
    }
    list_->setSortingEnabled(true);
    // Dates and lengths are read whole or not at all: each column is as wide as its widest text.
    for (int column = 1; column < list_->columnCount(); ++column) list_->resizeColumnToContents(column);
    Choose(chosen);
}

std::vector<std::string> LibraryPicker::Titles() const
{
    std::vector<std::string> titles;
    for (int i = 0; i < list_->topLevelItemCount(); ++i)
        titles.push_back(list_->topLevelItem(i)->text(0).toStdString());
    return titles;
}

std::vector<std::string> LibraryPicker::Chosen() const
{
    std::vector<std::string> titles;
    for (QTreeWidgetItem* item : list_->selectedItems())
        titles.push_back(item->text(0).toStdString());
    return titles;
}

void LibraryPicker::Choose(const std::vector<std::string>& titles)
{
    list_->clearSelection();
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = list_->topLevelItem(i);
        for (const std::string& title : titles)
            if (item->text(0).toStdString() == title) item->setSelected(true);
    }
}

bool RunFileLocationsDialog(QWidget* parent)
{
    FileLocationsDialog model;
    QDialog dialog(parent);
    dialog.setObjectName("FileLocations");
    dialog.setWindowTitle("File Locations");
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel("Tandrel keeps its Library, podcasts, RSS files, profiles and "
                                 "Configurations in this folder:", &dialog));
    auto* row = new QHBoxLayout;
    auto* path = new QLineEdit(QString::fromStdString(model.Open()), &dialog);
    path->setObjectName("path");
    path->setMinimumWidth(420);
    auto* browse = new QPushButton("Browse...", &dialog);
    row->addWidget(path);
    row->addWidget(browse);
    layout->addLayout(row);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    layout->addWidget(buttons);
    QObject::connect(browse, &QPushButton::clicked, &dialog, [&] {
        QFileDialog chooser(&dialog, "Tandrel File Storage", path->text());
        chooser.setFileMode(QFileDialog::Directory);
        chooser.setOption(QFileDialog::ShowDirsOnly);
        chooser.setOption(QFileDialog::DontUseNativeDialog);
        QList<QUrl> places;
        for (const std::string& place : FileDialogPlaces())
            places << QUrl::fromLocalFile(QString::fromStdString(place));
        chooser.setSidebarUrls(places);
        if (chooser.exec() == QDialog::Accepted && !chooser.selectedFiles().isEmpty())
            path->setText(chooser.selectedFiles().front());
    });
    bool closedWell = false;
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, [&] {
        if (model.Ok(path->text().toStdString())) {
            closedWell = true;
            dialog.accept();
        }
    });
    // Cancel closes only with a usable folder afterwards.
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, [&] {
        if (model.Cancel()) {
            closedWell = true;
            dialog.done(QDialog::Rejected);
        }
    });
    for (;;) {
        dialog.exec();
        if (closedWell) return true;
        // Escape or the title bar's close: that counts as Cancel.
        if (model.Cancel()) return true;
    }
}

namespace {

class AudioDevicesWindow : public QDialog
{
public:
    explicit AudioDevicesWindow(AudioDevicesDialog& model) : QDialog(QApplication::activeWindow()), model_(model)
    {
        setObjectName("AudioDevices");
        setWindowTitle("Audio Devices");
        auto* layout = new QVBoxLayout(this);
        auto* systemRow = new QHBoxLayout;
        systemRow->addWidget(new QLabel("Sound system:", this));
        system_ = new QComboBox(this);
        system_->setObjectName("soundSystem");
        for (const std::string& text : AudioDevicesDialog::SoundSystemTexts())
            system_->addItem(QString::fromStdString(text));
        systemRow->addWidget(system_);
        layout->addLayout(systemRow);
        // The File device plays into a WAV file and records from one: a machine without sound
        // hardware still records and plays.
        auto* filesRow = new QHBoxLayout;
        filesRow->addWidget(new QLabel("Record from:", this));
        filesRow->addWidget(inFile_ = new QLineEdit(this));
        filesRow->addWidget(new QLabel("Play into:", this));
        filesRow->addWidget(outFile_ = new QLineEdit(this));
        inFile_->setObjectName("recordFrom");
        outFile_->setObjectName("playInto");
        inFile_->setText(QString::fromStdString(model.SoundSystem().file.inPath));
        outFile_->setText(QString::fromStdString(model.SoundSystem().file.outPath));
        layout->addLayout(filesRow);
        auto* playbackBox = new QGroupBox("Playback device", this);
        (new QVBoxLayout(playbackBox))->addWidget(playback_ = new QListWidget(playbackBox));
        auto* captureBox = new QGroupBox("Recording device", this);
        (new QVBoxLayout(captureBox))->addWidget(capture_ = new QListWidget(captureBox));
        layout->addWidget(playbackBox);
        layout->addWidget(captureBox);
        follow_ = new QCheckBox("Use the system's default devices", this);
        off_ = new QCheckBox("Turn audio off", this);
        layout->addWidget(follow_);
        layout->addWidget(off_);
        auto* formatRow = new QHBoxLayout;
        formatRow->addWidget(new QLabel("Default recording format:", this));
        format_ = new QComboBox(this);
        format_->setObjectName("defaultFormat");
        for (const std::string& text : AudioDevicesDialog::FormatTexts())
            format_->addItem(QString::fromStdString(text));
        formatRow->addWidget(format_);
        layout->addLayout(formatRow);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        QPushButton* sound = buttons->addButton("Sound Settings...", QDialogButtonBox::ActionRole);
        layout->addWidget(buttons);
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        connect(sound, &QPushButton::clicked, this, [this] { model_.OpenSoundSettings(); });
        connect(playback_, &QListWidget::currentRowChanged, this, [this](int row) {
            if (!filling_) model_.SelectPlayback(row);
            Show();
        });
        connect(capture_, &QListWidget::currentRowChanged, this, [this](int row) {
            if (!filling_) model_.SelectCapture(row);
            Show();
        });
        connect(follow_, &QCheckBox::toggled, this, [this](bool on) {
            if (!filling_) model_.SetFollowDefaults(on);
            Show();
        });
        connect(off_, &QCheckBox::toggled, this, [this](bool on) {
            if (!filling_) model_.SetAudioOff(on);
            Show();
        });
        connect(format_, &QComboBox::currentIndexChanged, this, [this](int index) {
            if (!filling_) model_.SelectDefaultFormat(index + 1);
        });
        connect(system_, &QComboBox::currentIndexChanged, this, [this](int index) {
            if (!filling_) model_.SelectSoundSystem(index);
            Show();
        });
        auto files = [this] { model_.SetSoundFiles(inFile_->text().toStdString(), outFile_->text().toStdString()); };
        connect(inFile_, &QLineEdit::textChanged, this, files);
        connect(outFile_, &QLineEdit::textChanged, this, files);
        Show();
    }

private:
    // Shows the model as it is now.
    void Show()
    {
        if (filling_) return;
        filling_ = true;
        Fill(playback_, model_.PlaybackTexts(), model_.PlaybackSelection());
        Fill(capture_, model_.CaptureTexts(), model_.CaptureSelection());
        playback_->setEnabled(model_.DeviceListsEnabled());
        capture_->setEnabled(model_.DeviceListsEnabled());
        follow_->setChecked(model_.FollowDefaults());
        off_->setChecked(model_.AudioOff());
        format_->setCurrentIndex(model_.DefaultFormat() - 1);
        system_->setCurrentIndex(int(model_.SoundSystem().kind));
        const bool files = model_.SoundSystem().kind == AudioChoice::Kind::kFile;
        inFile_->setEnabled(files);
        outFile_->setEnabled(files);
        filling_ = false;
    }
    static void Fill(QListWidget* list, const std::vector<std::string>& texts, int selected)
    {
        if (list->count() != int(texts.size())) {
            list->clear();
            for (const std::string& text : texts) list->addItem(QString::fromStdString(text));
        }
        list->setCurrentRow(selected);
    }

    AudioDevicesDialog& model_;
    QListWidget* playback_;
    QListWidget* capture_;
    QCheckBox* follow_;
    QCheckBox* off_;
    QComboBox* format_;
    QComboBox* system_;
    QLineEdit* inFile_;
    QLineEdit* outFile_;
    bool filling_ = false;
};

} // namespace

void InstallAudioDevicesWindow()
{
    SetAudioDevicesPresenter([](AudioDevicesDialog& model) {
        AudioDevicesWindow window(model);
        return window.exec() == QDialog::Accepted;
    });
}

bool RunScrubDialog(QWidget* parent)
{
    ScrubSettingsDialog model;
    model.Open();
    QDialog dialog(parent);
    dialog.setObjectName("Scrub");
    dialog.setWindowTitle("Scrub Settings");
    auto* layout = new QVBoxLayout(&dialog);
    auto* stepCaption = new QLabel(&dialog);
    auto* step = new QSlider(Qt::Horizontal, &dialog);
    step->setRange(0, 15);
    step->setValue(model.stepIndex);
    auto* initial = new QCheckBox("Initial audio scrub", &dialog);
    initial->setChecked(model.initialAudioScrub);
    auto* time = new QSlider(Qt::Horizontal, &dialog);
    time->setRange(0, 15);
    time->setValue(model.timeIndex);
    layout->addWidget(stepCaption);
    layout->addWidget(step);
    layout->addWidget(initial);
    layout->addWidget(new QLabel("Initial scrub time", &dialog));
    layout->addWidget(time);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    layout->addWidget(buttons);
    auto show = [&] {
        stepCaption->setText(QString::fromStdString(model.StepCaption()));
        time->setEnabled(model.TimeSliderEnabled());
    };
    QObject::connect(initial, &QCheckBox::toggled, &dialog, [&](bool on) {
        model.initialAudioScrub = on;
        show();
    });
    QObject::connect(step, &QSlider::valueChanged, &dialog, [&](int v) { model.stepIndex = v; });
    QObject::connect(time, &QSlider::valueChanged, &dialog, [&](int v) { model.timeIndex = v; });
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    show();
    if (dialog.exec() != QDialog::Accepted) return false;
    return model.Ok();
}

MarkersWindow::MarkersWindow(Studio& studio, QWidget* parent) : QDialog(parent), studio_(studio)
{
    setObjectName("Markers");
    resize(420, 320);
    auto* layout = new QVBoxLayout(this);
    list_ = new QListWidget(this);
    layout->addWidget(list_);
    auto* row = new QHBoxLayout;
    auto* edit = new QPushButton("Edit", this);
    auto* remove = new QPushButton("Delete", this);
    auto* goTo = new QPushButton("Go To", this);
    auto* copy = new QPushButton("Copy Text to Clipboard", this);
    auto* close = new QPushButton("Close", this);
    for (QPushButton* button : {edit, remove, goTo, copy, close}) row->addWidget(button);
    layout->addLayout(row);
    connect(edit, &QPushButton::clicked, this, [this] {
        Editor editor = studio_.CurrentEditor();
        if (CurrentRow() >= 0) RenameMarker(editor, size_t(CurrentRow()));
        Refill();
    });
    connect(remove, &QPushButton::clicked, this, [this] {
        Editor editor = studio_.CurrentEditor();
        if (CurrentRow() >= 0) DeleteMarker(editor, size_t(CurrentRow()));
        Refill();
    });
    connect(goTo, &QPushButton::clicked, this, [this] {
        EditView* view = studio_.View();
        const int row = CurrentRow();
        if (!view || row < 0 || size_t(row) >= view->markers.size() || studio_.Recording()) return;
        if (AudioStream* stream = studio_.Stream()) stream->Stop(false);
        view->SetCursor(view->markers[size_t(row)].position, true);
        studio_.RedrawCueAndOverview();
        studio_.RefreshDisplays();
    });
    connect(copy, &QPushButton::clicked, this, [this] {
        const std::string text = MarkerRowsText(MarkerRows(studio_.CurrentEditor()));
        QApplication::clipboard()->setText(QString::fromStdString(text));
    });
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    connect(list_, &QListWidget::itemDoubleClicked, goTo, &QPushButton::click);
}

int MarkersWindow::CurrentRow() const
{
    return list_->currentRow();
}

void MarkersWindow::Refill()
{
    Editor editor = studio_.CurrentEditor();
    setWindowTitle(QString::fromStdString(MarkersWindowTitle(editor)));
    const int row = list_->currentRow();
    list_->clear();
    for (const MarkerRow& marker : MarkerRows(editor))
        list_->addItem(QString::fromStdString(marker.time + "    " + marker.name));
    if (row >= 0 && row < list_->count()) list_->setCurrentRow(row);
}

} // namespace tandrel::app
