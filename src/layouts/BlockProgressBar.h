#pragma once

#include <QProgressBar>

namespace layouts {

// A progress bar drawn in separate blocks with gaps between them, as the classic
// desktop bar is, whatever style the desktop uses.
class BlockProgressBar : public QProgressBar {
    Q_OBJECT
public:
    using QProgressBar::QProgressBar;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace layouts
