#include "convert/OptionCommands.h"

#include "convert/OutputFolder.h"

#include "layouts/MainControls.h"
#include "primitives/Dialogs.h"
#include "primitives/Profile.h"

#include <QComboBox>
#include <QPlainTextEdit>
#include <cstdio>

namespace convert {

using namespace primitives;

namespace {

// The settings are never read back, so a failed write changes nothing the user sees; it
// is told on stderr all the same.
void record(const char* key, const Text& value) {
    const Text file = settings_file();
    if (!write_profile_value(file, "set", key, value))
        std::fprintf(stderr, "tunvask: could not write %s=%s to %s\n", key, value.c_str(), file.c_str());
}

void record_selection(QComboBox* box, const char* key) {
    if (!box) return;
    record(key, to_text(box->currentIndex() + 1.0));
}

constexpr char kBitRateKey[] = "kbps";
constexpr char kChannelKey[] = "sd";

void select_and_record(QComboBox* box, int index, const char* key) {
    if (!box) return;
    box->setCurrentIndex(index);
    record_selection(box, key);
}

} // namespace

void set_bit_rate(const layouts::MainControls& controls, int index) {
    select_and_record(controls.bit_rate, index, kBitRateKey);
}

void record_bit_rate(const layouts::MainControls& controls) {
    record_selection(controls.bit_rate, kBitRateKey);
}

void set_channel(const layouts::MainControls& controls, int index) {
    select_and_record(controls.channel, index, kChannelKey);
}

void record_channel(const layouts::MainControls& controls) {
    record_selection(controls.channel, kChannelKey);
}

void choose_output_folder(const layouts::MainControls& controls) {
    // The folder as the file system names it, whatever the dialog made of its name.
    Text folder = file_shown_as(choose_folder("请选择保存目录", true));
    if (folder.empty() || !controls.folder) return;
    if (folder.back() != '/') folder += '/';
    show_output_folder(controls.folder, folder);
    record("path", output_folder(controls.folder));
}

} // namespace convert
