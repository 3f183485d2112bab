#pragma once

#include "app/windowcontrols.h"

#include <QMainWindow>
#include <memory>

namespace Ui {
class MainWindow;
}

namespace app {

// The window as laid out in resources/mainwindow.ui. It owns the widgets and nothing else; the
// binding drives them.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    WindowControls controls() const;

private:
    std::unique_ptr<Ui::MainWindow> m_ui;
};

} // namespace app
