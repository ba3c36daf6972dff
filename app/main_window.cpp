#include "app/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QUrl>
#include <QVBoxLayout>

#include "app/commands.h"
#include "app/dialogs.h"
#include "app/gain_control_dialog.h"
#include "app/program_messages.h"
#include "app/studio.h"
#include "audio/audio_devices.h"
#include "audio/audio_devices_dialog.h"
#include "engine/device_change.h"
#include "audio/gain_control.h"
#include "engine/transport.h"
#include "base/interaction.h"
#include "editing/edit_commands.h"
#include "editing/markers.h"
#include "library/edit_map.h"
#include "library/library_moves.h"
#include "library/library_names.h"
#include "library/new_edits.h"
#include "settings/path_checks.h"
#include "settings/setting_defaults.h"
#include "settings/settings_store.h"
#include "settings/user.h"
#include "settings/window_placement.h"

namespace tandrel::app {

namespace {

constexpr const char* kWindowTitle = "Tandrel  2.1.14";

QLabel* Placeholder(const char* name, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setAutoFillBackground(true);
    return label;
}

} // namespace

QEvent::Type ProgramMessageEvent::EventType()
{
    static const QEvent::Type type = QEvent::Type(QEvent::registerEventType());
    return type;
}

MainWindow::MainWindow(Studio& studio, QWidget* parent) : QMainWindow(parent), studio_(studio)
{
    setObjectName("Tandrel");
    setWindowTitle(kWindowTitle);
    setMinimumSize(kMainWindowMinWidth, kMainWindowMinHeight);
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    waveform_ = Placeholder("waveform", central);
    transport_ = Placeholder("transport", central);
    layout->addWidget(waveform_, 1);
    layout->addWidget(transport_);
    setCentralWidget(central);
    // The editor takes the keys; the window keeps the focus when nothing else wants it.
    setFocusPolicy(Qt::StrongFocus);
    BuildMenus();
    placementTimer_.setSingleShot(true);
    placementTimer_.setInterval(250);
    connect(&placementTimer_, &QTimer::timeout, this, &MainWindow::SavePlacement);
    studio_.editChanged = [this] { ShowActiveEdit(); };
    studio_.postMessage = [this](int message, uint32_t word, int64_t parameter) {
        PostProgramMessage(message, word, parameter);
    };
}

MainWindow::~MainWindow()
{
    studio_.editChanged = nullptr;
    studio_.postMessage = nullptr;
}

void MainWindow::SetViews(QWidget* waveform, QWidget* transport)
{
    auto* layout = static_cast<QVBoxLayout*>(centralWidget()->layout());
    if (waveform) {
        delete layout->replaceWidget(waveform_, waveform);
        delete waveform_;
        waveform_ = waveform;
    }
    if (transport) {
        delete layout->replaceWidget(transport_, transport);
        delete transport_;
        transport_ = transport;
    }
}

void MainWindow::BuildMenus()
{
    const std::vector<const char*>& titles = MenuTitles();
    for (size_t i = 0; i < titles.size(); ++i) {
        menus_[i] = menuBar()->addMenu(titles[i]);
        const int position = int(i);
        connect(menus_[i], &QMenu::aboutToShow, this, [this, position] { ApplyMenuRules(position); });
    }
    for (const MenuEntry& entry : MenuEntries()) {
        QMenu* menu = menus_[entry.menu];
        if (entry.separatorBefore) menu->addSeparator();
        QAction* action = menu->addAction(QString::fromUtf8(entry.text));
        action->setCheckable(entry.checkable);
        action->setData(entry.command);
        const int command = entry.command;
        connect(action, &QAction::triggered, this, [this, command] { DoCommand(command); });
        actions_[command] = action;
        if (entry.command == kCmdViewMarkers) {
            menu->addSeparator();
            const char* names[3] = {"Edit Marker", "Delete Marker", "Go to Marker"};
            for (int k = 0; k < 3; ++k) {
                markerMenus_[k] = menu->addMenu(names[k]);
                markerMenus_[k]->menuAction()->setData(-1);
            }
        }
    }
    // The accelerators work whatever the menus last showed; each command checks its own
    // conditions when it runs.
    for (const Accelerator& accelerator : Accelerators()) {
        auto* action = new QAction(this);
        action->setShortcut(QKeySequence(QString::fromUtf8(accelerator.keys)));
        action->setShortcutContext(Qt::WindowShortcut);
        const int command = accelerator.command;
        connect(action, &QAction::triggered, this, [this, command] { DoCommand(command); });
        addAction(action);
    }
}

void MainWindow::AddTranscriptionItem()
{
    if (actions_.count(kCmdTranscription)) return;
    QMenu* settings = menus_[kSettingsMenu];
    settings->addSeparator();
    QAction* action = settings->addAction("Transcription...");
    action->setData(kCmdTranscription);
    connect(action, &QAction::triggered, this, [this] { DoCommand(kCmdTranscription); });
    actions_[kCmdTranscription] = action;
}

QMenu* MainWindow::Menu(int position) const
{
    return position >= 0 && position < 6 ? menus_[position] : nullptr;
}

QAction* MainWindow::Action(int command) const
{
    auto found = actions_.find(command);
    if (found != actions_.end()) return found->second;
    for (QMenu* menu : markerMenus_)
        for (QAction* action : menu->actions())
            if (action->data().toInt() == command) return action;
    for (QAction* action : menus_[kMarkersMenu]->actions())
        if (action->data().toInt() == command && action->data().isValid()) return action;
    return nullptr;
}

MenuFacts MainWindow::CurrentFacts() const
{
    MenuFacts facts;
    Editor editor = studio_.CurrentEditor();
    FillEditFacts(editor, facts);
    Account account;
    if (studio_.CurrentAccount(account)) {
        facts.libraryHasEdits = LibraryHasEdits(account);
        facts.canRestoreDeleted = DeletedFileAvailable(account);
    }
    facts.zoomed = studio_.View() && studio_.View()->fineStep;
    facts.stereoFormat = AudioEngine().playbackFormat.channels == 2;
    facts.monoMixRecording = studio_.Recorder().MonoMix();
    facts.recorderAvailable = studio_.Recorder().Available();
    return facts;
}

void MainWindow::ApplyMenuRules(int position)
{
    if (position < 0 || position >= 6) return;
    if (position == kMarkersMenu) RebuildMarkerMenu();
    if (position == kFileMenu && !actions_.count(kCmdImportFromSam)) {
        // "Import from SAM" joins the File menu, just before "Import...", the first time it
        // opens; whether SAM runs is asked only when it is chosen.
        auto* sam = new QAction("Import from SAM", menus_[kFileMenu]);
        sam->setData(kCmdImportFromSam);
        connect(sam, &QAction::triggered, this, [this] { DoCommand(kCmdImportFromSam); });
        menus_[kFileMenu]->insertAction(actions_.at(kCmdImport), sam);
        actions_[kCmdImportFromSam] = sam;
    }
    const MenuFacts facts = CurrentFacts();
    for (QAction* action : menus_[position]->actions()) {
        if (action->isSeparator() || !action->data().isValid()) continue;
        const int command = action->data().toInt();
        if (command < 0) continue; // a marker submenu: set by RebuildMarkerMenu
        const ItemState state = MenuItemState(command, facts);
        action->setEnabled(state.enabled);
        if (action->isCheckable()) action->setChecked(state.checked);
    }
}

void MainWindow::RebuildMarkerMenu()
{
    Editor editor = studio_.CurrentEditor();
    const std::vector<MarkerRow> rows = MarkerRows(editor);
    const CommandRange ranges[3] = {kEditMarkerRange, kDeleteMarkerRange, kGoToMarkerRange};
    const int standIns[3] = {kCmdNoEditMarker, kCmdNoDeleteMarker, kCmdNoGoToMarker};
    const bool enabled = MenuItemState(kEditMarkerRange.first, CurrentFacts()).enabled;
    for (int k = 0; k < 3; ++k) {
        QMenu* menu = markerMenus_[k];
        menu->clear();
        const int count = int(std::min<size_t>(rows.size(), size_t(ranges[k].last - ranges[k].first + 1)));
        // Without markers the submenu stands greyed under its own number.
        menu->menuAction()->setEnabled(count > 0 && enabled);
        menu->menuAction()->setData(count > 0 ? -1 : standIns[k]);
        for (int i = 0; i < count; ++i) {
            const std::string text = MarkerMenuText(rows[size_t(i)].time, rows[size_t(i)].name);
            QAction* action = menu->addAction(QString::fromStdString(text));
            const int command = ranges[k].first + i;
            action->setData(command);
            action->setEnabled(enabled);
            connect(action, &QAction::triggered, this, [this, command] { DoCommand(command); });
        }
    }
}

bool MainWindow::DoCommand(int command)
{
    if (CommandRefused(command, false, studio_.RecordingPaused())) return false;
    if (NotYetAvailable(command)) return false;
    if (LibraryCommand(command) || EditCommand(command) || MarkerCommand(command) ||
        SettingsCommand(command) || HelpCommand(command))
        return true;
    return false;
}

bool MainWindow::LibraryCommand(int command)
{
    Account account;
    const bool haveAccount = studio_.CurrentAccount(account);
    switch (command) {
    // Both go through the temporary Edit: a recording waiting there is saved first.
    case kCmdNew:
        if (!haveAccount) break;
        studio_.Recorder().RecoverInterrupted();
        NewEmptyEdit(studio_, account);
        break;
    case kCmdNewFromSelection:
        if (!haveAccount || !studio_.View()) break;
        studio_.Recorder().RecoverInterrupted();
        NewEdit(*studio_.View(), account, true);
        break;
    case kCmdOpenFromLibrary: {
        if (!haveAccount) break;
        LibraryPicker picker(account, LibraryPicker::Mode::Open, this);
        if (picker.exec() != QDialog::Accepted || picker.Chosen().empty()) break;
        LoadEdit(studio_, account, picker.Chosen().front(), true);
        break;
    }
    case kCmdDeleteFromLibrary: {
        if (!haveAccount) break;
        LibraryPicker picker(account, LibraryPicker::Mode::Delete, this);
        if (picker.exec() != QDialog::Accepted || picker.Chosen().empty()) break;
        DeleteLibraryEdits(studio_, account, picker.Chosen());
        break;
    }
    case kCmdRenameActive:
        if (haveAccount && studio_.HasEdit()) RenameActiveEdit(studio_, account);
        break;
    case kCmdDeleteActive:
        if (haveAccount && studio_.HasEdit()) DeleteActiveFile(studio_, account);
        break;
    case kCmdRestoreDeleted:
        if (haveAccount) RestoreDeletedFile(studio_, account);
        break;
    case kCmdCopyToUserFolder:
        if (haveAccount && studio_.HasEdit())
            CopySelectedFiles(account, {TitleFromPath(studio_.ActivePath())});
        break;
    case kCmdRebuildDatabase:
        if (!haveAccount) break;
        if (EditMap* map = GetEditMap(account.location, account.name)) {
            RebuildMapFile(map);
            ReleaseEditMap(map);
        }
        break;
    case kCmdExit:
        exitRequested_ = true;
        close();
        break;
    default:
        return false;
    }
    ShowActiveEdit();
    return true;
}

bool MainWindow::EditCommand(int command)
{
    Editor editor = studio_.CurrentEditor();
    switch (command) {
    // Each command checks its own conditions; those that would change the file say so in
    // Master view.
    case kCmdUndo:
        if (editor.HasEdit()) UndoCommand(editor);
        return true;
    case kCmdRedo:
        if (editor.HasEdit()) RedoCommand(editor);
        return true;
    case kCmdCut:
        if (editor.HasEdit()) CutCommand(editor);
        return true;
    case kCmdCopy:
        if (editor.HasEdit()) CopyCommand(editor);
        return true;
    case kCmdPaste:
        if (editor.HasEdit()) PasteCommand(editor);
        return true;
    case kCmdDelete:
        if (editor.HasEdit()) DeleteCommand(editor);
        return true;
    case kCmdSelectAll:
        if (editor.HasEdit()) SelectAllCommand(editor);
        return true;
    case kCmdDeselect:
        if (editor.HasEdit()) ClearSelectionCommand(editor);
        return true;
    case kCmdInsertRecord:
        if (studio_.Recorder().Available()) studio_.Recorder().InsertRecord();
        return true;
    case kCmdRecordNew:
        if (studio_.Recorder().Available()) studio_.Recorder().Record();
        return true;
    case kCmdMaster:
        // Master view changes what plays: only in standby.
        if (editor.HasEdit() && studio_.TransportState() == kStateStandby) {
            editor.view->SetMasterView(!editor.view->master, true);
            studio_.RefreshDisplays();
        }
        return true;
    case kCmdZoom:
        // Zoomed, the cue moves by single frames and the waveform shows them.
        if (editor.HasEdit() && studio_.Stream()) {
            ToggleFineStep(*studio_.Stream());
            studio_.RefreshDisplays();
        }
        return true;
    default:
        return false;
    }
}

bool MainWindow::MarkerCommand(int command)
{
    Editor editor = studio_.CurrentEditor();
    if (command == kCmdInsertMarker) {
        if (editor.HasEdit() && !editor.view->master) InsertMarker(editor);
        return true;
    }
    if (command == kCmdViewMarkers) {
        if (!editor.HasEdit() || editor.view->master) return true;
        if (!markers_) markers_ = new MarkersWindow(studio_, this);
        markers_->Refill();
        markers_->show();
        markers_->raise();
        markers_->activateWindow();
        return true;
    }
    if (kEditMarkerRange.Contains(command)) {
        RenameMarker(editor, size_t(kEditMarkerRange.Index(command)));
        return true;
    }
    if (kDeleteMarkerRange.Contains(command)) {
        DeleteMarker(editor, size_t(kDeleteMarkerRange.Index(command)));
        return true;
    }
    if (kGoToMarkerRange.Contains(command)) {
        const size_t index = size_t(kGoToMarkerRange.Index(command));
        if (!editor.HasEdit() || index >= editor.view->markers.size()) return true;
        if (AudioStream* stream = studio_.Stream()) stream->Stop(false);
        editor.view->SetCursor(editor.view->markers[index].position, true);
        studio_.RedrawCueAndOverview();
        studio_.RefreshDisplays();
        return true;
    }
    return false;
}

bool MainWindow::SettingsCommand(int command)
{
    switch (command) {
    case kCmdAudioDevices:
        if (AudioStream* stream = studio_.Stream()) DisarmRecording(*stream);
        ShowAudioDevicesDialog();
        return true;
    case kCmdMonoMixRecording: {
        if (AudioEngine().playbackFormat.channels != 2) return true;
        // The user's flag and the switch each change state; the switch starts off with every
        // start of the program.
        UserFlags flags = ReadUserFlags();
        flags.Set(UserFlags::kMonoMixRecording, !flags.MonoMixRecording());
        WriteUserFlags(flags);
        studio_.Recorder().SetMonoMix(!studio_.Recorder().MonoMix());
        return true;
    }
    case kCmdFileLocations:
        RunFileLocationsDialog(this);
        if (Markers()) Markers()->Refill();
        return true;
    case kCmdScrub:
        RunScrubDialog(this);
        return true;
    case kCmdGainControl:
        RunGainControlDialog(this);
        studio_.RefreshDisplays();
        return true;
    case kCmdToggleGainControl: {
        const AudioFormat& format = AudioEngine().recordingFormat;
        AgcToggle(format.sampleRate, format.channels, format.bitsPerSample);
        studio_.RefreshDisplays();
        return true;
    }
    case kCmdTranscription:
        if (showTranscription) showTranscription();
        return true;
    case kCmdRollbackShort:
    case kCmdRollbackLong:
        WriteSettingNumber(kSettingTwoAttempts, kProductKey, "RollbackLong",
                           command == kCmdRollbackLong ? 1 : 0);
        return true;
    default:
        return false;
    }
}

bool MainWindow::HelpCommand(int command)
{
    switch (command) {
    case kCmdKeyboardCommands:
        if (showKeyboardCommands) showKeyboardCommands();
        return true;
    case kCmdUserGuide:
        OpenUserGuide();
        return true;
    case kCmdCredits:
        MessageDialog("Credits", "Tandrel\n\nDesign, programming and sound: the Tandrel team.");
        return true;
    case kCmdAbout:
        MessageDialog("About Tandrel", std::string(kWindowTitle) +
                                           "\n\nA studio for podcasts and spoken audio.");
        return true;
    default:
        return false;
    }
}

void MainWindow::OpenUserGuide()
{
    const QString path =
        QCoreApplication::applicationDirPath() + "/User Guide/Tandrel User Guide.htm";
    const std::string quoted = "\"" + path.toStdString() + "\"";
    if (!QFileInfo::exists(path)) {
        ReportError("UserGuide: Unable to locate file %s", quoted.c_str());
        return;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        ReportError("UserGuide: Error (%d) opening %s", -1, quoted.c_str());
}

void MainWindow::ShowActiveEdit()
{
    const std::string path = studio_.ActivePath();
    QString title = kWindowTitle;
    if (!path.empty()) title += QString(" - ") + QString::fromStdString(TitleFromPath(path));
    if (windowTitle() != title) setWindowTitle(title);
    if (markers_ && markers_->isVisible()) markers_->Refill();
}

void MainWindow::PostProgramMessage(int message, uint32_t word, int64_t parameter)
{
    QCoreApplication::postEvent(this, new ProgramMessageEvent(message, word, parameter));
}

bool MainWindow::event(QEvent* event)
{
    if (event->type() == ProgramMessageEvent::EventType()) {
        auto* message = static_cast<ProgramMessageEvent*>(event);
        HandleProgramMessage(message->message, message->word, message->parameter);
        return true;
    }
    return QMainWindow::event(event);
}

void MainWindow::HandleProgramMessage(int message, uint32_t word, int64_t parameter)
{
    switch (message) {
    case kMsgStopRecordingAtLimit:
        studio_.Recorder().StopAtLimit();
        break;
    case kMsgToFront:
        raise();
        activateWindow();
        break;
    case kMsgRefreshMarkers:
        studio_.RefreshDisplays();
        if (markers_) markers_->Refill();
        break;
    case kMsgRollBack:
        if (AudioStream* stream = studio_.Stream()) RollBack(*stream);
        break;
    case kMsgInsertMarker: {
        Editor editor = studio_.CurrentEditor();
        DropMarker(editor);
        break;
    }
    case kMsgPlayerUpdate:
        if (playerUpdate) playerUpdate(int(word), parameter);
        break;
    default:
        break;
    }
}

void MainWindow::keyPressEvent(QKeyEvent* event)
{
    if (keyHandler && keyHandler(event, true)) return;
    QMainWindow::keyPressEvent(event);
}

void MainWindow::keyReleaseEvent(QKeyEvent* event)
{
    if (keyHandler && keyHandler(event, false)) return;
    QMainWindow::keyReleaseEvent(event);
}

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    shown_ = true;
}

void MainWindow::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    SavePlacementSoon();
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    SavePlacementSoon();
}

void MainWindow::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) SavePlacementSoon();
    if (event->type() == QEvent::ActivationChange && !isActiveWindow() && deactivated)
        deactivated();
}

void MainWindow::SavePlacementSoon()
{
    // A drag moves the window many times a second: the settings file is written once it
    // comes to rest.
    if (shown_ && !isMinimized()) placementTimer_.start();
}

void MainWindow::SavePlacement()
{
    if (!shown_ || isMinimized()) return;
    const QRect normal = isMaximized() ? normalGeometry() : geometry();
    WindowPlacement placement;
    placement.x = normal.x();
    placement.y = normal.y();
    placement.width = normal.width();
    placement.height = normal.height();
    placement.maximised = isMaximized();
    SaveWindowPlacement(placement);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // While audio runs only the Exit command closes the window; the title bar's close
    // button waits for standby, as sizing does.
    if (!exitRequested_ && studio_.TransportState() != kStateStandby) {
        event->ignore();
        return;
    }
    exitRequested_ = false;
    if (placementTimer_.isActive()) {
        placementTimer_.stop();
        SavePlacement();
    }
    if (markers_) markers_->close();
    event->accept();
}

} // namespace tandrel::app
