#include "layouts/WindowBuilder.h"

#include "layouts/BlockProgressBar.h"
#include "layouts/KeyTable.h"
#include "layouts/ListView.h"
#include "layouts/NamedComboBoxAccessible.h"
#include "layouts/SelectionHider.h"
#include "layouts/ShortcutFilter.h"
#include "layouts/WrappingButton.h"
#include "primitives/QtText.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScreen>

namespace layouts {

namespace {

QWidget* make_label(const ControlRecord& record, QWidget* parent) {
    auto* label = new QLabel(primitives::to_qstring(record.caption), parent);
    label->setAlignment(Qt::AlignCenter);
    label->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    return label;
}

QWidget* make_edit_box(QWidget* parent) {
    auto* edit = new QPlainTextEdit(parent);
    edit->setReadOnly(true);
    edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    edit->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    edit->document()->setDocumentMargin(1);
    SelectionHider::attach(edit);
    return edit;
}

QWidget* make_combo_box(const ControlRecord& record, QWidget* parent) {
    auto* combo = new QComboBox(parent);
    // Before anything asks how to announce it.
    if (!record.accessible_name.empty()) NamedComboBoxAccessible::name_holds(combo);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    // Typing into the field is only typing: no completion, and neither Enter nor
    // leaving the field picks the item the text names.
    combo->setCompleter(nullptr);
    QObject::disconnect(combo->lineEdit(), SIGNAL(returnPressed()), combo, nullptr);
    QObject::disconnect(combo->lineEdit(), SIGNAL(editingFinished()), combo, nullptr);
    for (const ComboItem& item : record.items)
        combo->addItem(primitives::to_qstring(item.text), item.value);
    // The stored selection is the first item under an empty text field.
    combo->setCurrentIndex(record.items.empty() ? -1 : 0);
    combo->setEditText(QString());
    return combo;
}

QWidget* make_progress_bar(QWidget* parent) {
    auto* bar = new BlockProgressBar(parent);
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setTextVisible(false);
    return bar;
}

QWidget* make_list_view(const ControlRecord& record, QWidget* parent) {
    QStringList headers;
    for (const ColumnRecord& column : record.columns)
        headers << primitives::to_qstring(column.header);
    auto* table = new ListView(headers, parent);
    table->verticalHeader()->hide();
    // Rows of one height, scrolled by pixels: the view never walks a hundred thousand
    // rows to find where one of them starts (scrolling by rows would, after every append).
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSortingEnabled(false);
    table->setShowGrid(true);
    table->setWordWrap(false);
    table->horizontalHeader()->setSectionsMovable(false);
    table->horizontalHeader()->setSectionsClickable(true);
    table->horizontalHeader()->setHighlightSections(false);
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 4);
    table->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    // Tab moves on to the next control, not from cell to cell.
    table->setTabKeyNavigation(false);
    SelectionHider::attach(table);
    int index = 0;
    for (const ColumnRecord& column : record.columns)
        table->setColumnWidth(index++, column.width);
    return table;
}

QWidget* make_picture_box(QWidget* parent) {
    auto* picture = new QLabel(parent);
    picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return picture;
}

QObject* make_control(const ControlRecord& record, QWidget* parent) {
    switch (record.kind) {
    case ControlKind::Label:
        return make_label(record, parent);
    case ControlKind::Button:
    case ControlKind::SuperButton:
        return new WrappingButton(primitives::to_qstring(record.caption), parent);
    case ControlKind::EditBox:
        return make_edit_box(parent);
    case ControlKind::ComboBox:
        return make_combo_box(record, parent);
    case ControlKind::GroupBox:
        return new QGroupBox(primitives::to_qstring(record.caption), parent);
    case ControlKind::ProgressBar:
        return make_progress_bar(parent);
    case ControlKind::PictureBox:
        return make_picture_box(parent);
    case ControlKind::ListView:
        return make_list_view(record, parent);
    case ControlKind::FileDialog: {
        // No window of its own: it keeps the filter and the last chosen path.
        auto* dialog = new QObject(parent);
        dialog->setProperty("filter", primitives::to_qstring(record.caption));
        dialog->setProperty("fileName", QString());
        return dialog;
    }
    }
    return nullptr;
}

void place(QWidget* widget, const ControlRecord& record) {
    widget->setGeometry(record.left, record.top, record.width, record.height);
    widget->setFocusPolicy(record.tab_stop ? Qt::StrongFocus : Qt::NoFocus);
    widget->setVisible(record.visible);
    if (record.kind == ControlKind::PictureBox) widget->lower();
}

} // namespace

void build_controls(QWidget* client, const WindowRecord& layout) {
    client->setFixedSize(layout.client_width, layout.client_height);
    for (const ControlRecord& record : layout.controls) {
        QWidget* container = client;
        if (!record.container.empty())
            container = client->findChild<QWidget*>(primitives::to_qstring(record.container));
        QObject* control = make_control(record, container ? container : client);
        control->setObjectName(primitives::to_qstring(record.name));
        if (!control->isWidgetType()) continue;
        auto* widget = static_cast<QWidget*>(control);
        place(widget, record);
        if (record.accessible_name.empty()) continue;
        widget->setAccessibleName(primitives::to_qstring(record.accessible_name));
    }
}

namespace {

QString item_text(const MenuRecord& record) {
    const ShortcutKey key = shortcut_key(record.key);
    return key.display_name.isEmpty() ? primitives::to_qstring(record.caption)
                                      : primitives::to_qstring(record.caption) + u'\t' + key.display_name;
}

} // namespace

void build_menu(QMainWindow* window, const WindowRecord& layout, ShortcutFilter* keys) {
    QMenuBar* bar = window->menuBar();
    bar->setObjectName(QStringLiteral("菜单"));
    QMenu* open[3] = {};
    const auto& records = layout.menu;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const MenuRecord& record = records[i];
        const bool heading = i + 1 < records.size() && records[i + 1].level > record.level;
        if (record.level == 0) {
            open[0] = bar->addMenu(primitives::to_qstring(record.caption));
            open[0]->setObjectName(primitives::to_qstring(record.caption));
            continue;
        }
        QMenu* parent = open[record.level - 1];
        if (!parent) continue;
        if (heading) {
            open[record.level] = parent->addMenu(primitives::to_qstring(record.caption));
            open[record.level]->setObjectName(primitives::to_qstring(record.caption));
            open[record.level]->menuAction()->setObjectName(primitives::to_qstring(record.caption));
            continue;
        }
        if (record.caption == "-") {
            parent->addSeparator();
            continue;
        }
        QAction* action = parent->addAction(item_text(record));
        action->setObjectName(primitives::to_qstring(record.caption));
        action->setData(static_cast<int>(record.command));
        const ShortcutKey key = shortcut_key(record.key);
        if (!key.display_name.isEmpty()) keys->add(key.combination, action);
    }
}

QPoint centred_position(int outer_width, int outer_height) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return {0, 0};
    const QSize size = screen->size();
    return {(size.width() - outer_width) / 2, (size.height() - outer_height) / 2};
}

} // namespace layouts
