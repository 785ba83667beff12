#pragma once

#include <QObject>
#include <QPointer>

class QWidget;

namespace shell {

// While a modal window is open, the windows it blocks take no input. Where a window
// manager lets the modal one be minimised, that would leave nothing to use: activating a
// blocked window (a click on it, its entry in the task bar) brings the modal one back.
class ModalRestorer : public QObject {
    Q_OBJECT
public:
    explicit ModalRestorer(QWidget* modal);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> m_modal;
};

} // namespace shell
