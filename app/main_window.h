#pragma once
#include <QMainWindow>
#include <QTimer>

#include <functional>
#include <map>

#include "app/menu_model.h"

class QMenu;
class QAction;

namespace tandrel::app {

class Studio;
class MarkersWindow;

/** The one top-level window: the menu bar and its commands, the waveform area and the
    transport panel, the keys, and the program's posted messages. */
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(Studio& studio, QWidget* parent = nullptr);
    ~MainWindow() override;

    /** Carries out a menu, accelerator or key command. False when the number is not a
        command or a guard refused it. */
    bool DoCommand(int command);
    /** Posts a program message to the window; any thread. */
    void PostProgramMessage(int message, uint32_t word = 0, int64_t parameter = 0);

    /** The top-level menu at `position` (MenuPosition) and the item of `command` in it. */
    QMenu* Menu(int position) const;
    QAction* Action(int command) const;
    /** Applies the enabling and checking rules of the menu at `position`, as opening it does. */
    void ApplyMenuRules(int position);
    /** The facts the rules look at now. */
    MenuFacts CurrentFacts() const;

    /** Puts the waveform and transport widgets in place of the placeholders. */
    void SetViews(QWidget* waveform, QWidget* transport);
    QWidget* WaveformArea() const { return waveform_; }

    /** The key handler of the waveform editor: true when it took the key. */
    std::function<bool(QKeyEvent* event, bool pressed)> keyHandler;
    /** The Keyboard Commands window. */
    std::function<void()> showKeyboardCommands;
    /** The Transcription dialog, once AddTranscriptionItem has offered it. */
    std::function<void()> showTranscription;
    /** Start-up with the keyboard hook loaded: a separator and "Transcription..." at the end
        of the Settings menu. */
    void AddTranscriptionItem();
    /** The window lost the keyboard: held keys are let go. */
    std::function<void()> deactivated;
    /** Player button updates and finished players (the players handle them once built). */
    std::function<void(int message, int64_t parameter)> playerUpdate;

    /** The window title and everything that names the active Edit. */
    void ShowActiveEdit();
    MarkersWindow* Markers() const { return markers_; }

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildMenus();
    void RebuildMarkerMenu();
    void HandleProgramMessage(int message, uint32_t word, int64_t parameter);
    void SavePlacementSoon();
    void SavePlacement();
    bool LibraryCommand(int command);
    bool EditCommand(int command);
    bool MarkerCommand(int command);
    bool SettingsCommand(int command);
    bool HelpCommand(int command);
    void OpenUserGuide();

    Studio& studio_;
    QMenu* menus_[6] = {};
    std::map<int, QAction*> actions_;
    QMenu* markerMenus_[3] = {};
    QWidget* waveform_ = nullptr;
    QWidget* transport_ = nullptr;
    MarkersWindow* markers_ = nullptr;
    QTimer placementTimer_;
    bool shown_ = false;
    bool exitRequested_ = false;
};

} // namespace tandrel::app
