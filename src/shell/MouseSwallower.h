#pragma once

#include <QObject>

namespace shell {

// Keeps a left-button press and a right-button release (and the context menu
// that a right click would open) from reaching the output-folder box.
class MouseSwallower : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace shell
