#pragma once

#include <QKeyCombination>
#include <QList>
#include <QObject>
#include <QPointer>

class QAction;
class QWidget;

namespace layouts {

// The window's key table, matched before any control sees the key. Qt's own
// shortcuts would call a key given to two items ambiguous and trigger neither;
// here the first item in menu order wins, as the table says.
class ShortcutFilter : public QObject {
    Q_OBJECT
public:
    explicit ShortcutFilter(QWidget* window);

    void add(QKeyCombination key, QAction* action);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Entry {
        QKeyCombination key;
        QPointer<QAction> action;
    };
    QAction* match(QKeyCombination key) const;

    QPointer<QWidget> m_window;
    QList<Entry> m_entries;
};

} // namespace layouts
