#pragma once
#include <QDialog>

#include <optional>
#include <string>
#include <vector>

#include "library/library_account.h"

class QTreeWidget;
class QListWidget;
class QLabel;
class QPushButton;

namespace tandrel {
class EditorSlot;
}

namespace tandrel::app {

class Studio;

/** The Library picker of "Open from Library..." and "Delete from Library...": the active
    account's Edits, filled from its database and refreshed while open, sortable by each
    column. Open takes one Edit, Delete several; both can copy the chosen Edits. */
class LibraryPicker : public QDialog
{
    Q_OBJECT
public:
    enum class Mode { Open, Delete };
    LibraryPicker(const Account& account, Mode mode, QWidget* parent = nullptr);

    /** Fills the list afresh from the database, keeping the chosen titles chosen. */
    void Refill();
    /** The titles listed, in the order shown. */
    std::vector<std::string> Titles() const;
    /** The titles chosen. */
    std::vector<std::string> Chosen() const;
    /** Chooses the given titles (tests and keyboard users alike). */
    void Choose(const std::vector<std::string>& titles);

private:
    Account account_;
    Mode mode_;
    QTreeWidget* list_;
    QPushButton* accept_;
    std::string shown_; // what the list shows, to tell whether a refill changes anything
};

/** True when the account's database lists an Edit the picker would offer. */
bool LibraryHasEdits(const Account& account);

/** The File Locations dialog over its model: true when it closed with a usable storage
    folder. */
bool RunFileLocationsDialog(QWidget* parent);
/** Installs the Qt Audio Devices dialog as the presenter of the device model. */
void InstallAudioDevicesWindow();
/** The scrub settings dialog; true for OK. */
bool RunScrubDialog(QWidget* parent);

/** The Markers window: the active Edit's markers (the pending ones while recording) with
    Edit, Delete, Go To and copying their list as text. Modeless; refreshed on each marker
    change. */
class MarkersWindow : public QDialog
{
    Q_OBJECT
public:
    MarkersWindow(Studio& studio, QWidget* parent = nullptr);
    void Refill();
    QListWidget* List() const { return list_; }

private:
    int CurrentRow() const;
    Studio& studio_;
    QListWidget* list_;
};

} // namespace tandrel::app
