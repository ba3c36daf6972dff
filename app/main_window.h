#pragma once
#include <QMainWindow>

namespace tandrel::app {

/** The one top-level window: menus, the waveform area and the transport panel. */
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;
};

} // namespace tandrel::app
