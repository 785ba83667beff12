#include "convert/OptionCommands.h"

#include "layouts/MainControls.h"
#include "primitives/Dialogs.h"
#include "primitives/Profile.h"

#include <QComboBox>
#include <QPlainTextEdit>

namespace convert {

using namespace primitives;

namespace {

void record_selection(QComboBox* box, const char* key) {
    if (!box) return;
    write_profile_value(settings_file(), "set", key, to_text(box->currentIndex() + 1.0));
}

} // namespace

void set_bit_rate(const layouts::MainControls& controls, int index) {
    if (!controls.bit_rate) return;
    controls.bit_rate->setCurrentIndex(index);
    record_bit_rate(controls);
}

void record_bit_rate(const layouts::MainControls& controls) {
    record_selection(controls.bit_rate, "kbps");
}

void set_channel(const layouts::MainControls& controls, int index) {
    if (!controls.channel) return;
    controls.channel->setCurrentIndex(index);
    record_channel(controls);
}

void record_channel(const layouts::MainControls& controls) {
    record_selection(controls.channel, "sd");
}

void choose_output_folder(const layouts::MainControls& controls) {
    Text folder = choose_folder("请选择保存目录", true);
    if (folder.empty() || !controls.folder) return;
    if (folder.back() != '/') folder += '/';
    controls.folder->setPlainText(QString::fromStdString(folder));
    write_profile_value(settings_file(), "set", "path", controls.folder->toPlainText().toStdString());
}

} // namespace convert
