#pragma once

#include <QPushButton>

namespace layouts {

// A push button whose caption wraps onto further lines when it does not fit,
// as "输出路径" does in a 32 x 32 button.
class WrappingButton : public QPushButton {
    Q_OBJECT
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace layouts
