#include "convert/OutputFolder.h"

#include "primitives/Gbk.h"
#include "primitives/QtText.h"

#include <QPlainTextEdit>

namespace convert {

namespace {

constexpr const char* kBytesProperty = "folder_bytes";

} // namespace

void show_output_folder(QPlainTextEdit* box, const primitives::Text& bytes) {
    if (!box) return;
    box->setPlainText(primitives::to_qstring(primitives::path_for_display(bytes)));
    box->setProperty(kBytesProperty, QByteArray::fromStdString(bytes));
}

primitives::Text output_folder(const QPlainTextEdit* box) {
    if (!box) return {};
    const QString text = box->toPlainText();
    const primitives::Text bytes = box->property(kBytesProperty).toByteArray().toStdString();
    if (!bytes.empty() && primitives::to_qstring(primitives::path_for_display(bytes)) == text) return bytes;
    return text.toStdString();
}

} // namespace convert
