#pragma once

#include "app/windowcontrols.h"

#include <QMainWindow>
#include <memory>

namespace Ui {
class MainWindow;
}

namespace app {

// The window as laid out in resources/mainwindow.ui. It owns the widgets and nothing else; the
// controller drives them.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    WindowControls controls() const;
    QList<QObject*> refreshSenders() const; // every control that sends go() with a tag
    QAction* helpAction() const;
    QAction* operatorKeyAction() const;

private:
    std::unique_ptr<Ui::MainWindow> m_ui;
};

} // namespace app
