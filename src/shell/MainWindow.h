#pragma once

#include <QMainWindow>

namespace shell {

// The main window as its layout describes it; commands reach its controls by name.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow();

signals:
    // Raised once when the window is closed, before anything of it goes.
    void closing();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    bool m_closed = false;
};

} // namespace shell
