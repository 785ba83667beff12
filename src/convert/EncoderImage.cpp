#include "convert/EncoderImage.h"

#include "primitives/Files.h"

extern "C" const std::uint8_t tvenc_image_data[];
extern "C" const std::size_t tvenc_image_size;

namespace convert {

using namespace primitives;

namespace {

constexpr const char* kEncoderName = "/60718243.exe";
constexpr const char* kFolderPrefix = "tunvask-encoder-";
constexpr int kExecutableMode = 0755;

} // namespace

std::span<const std::uint8_t> encoder_image() {
    return {tvenc_image_data, tvenc_image_size};
}

Text stage_encoder() {
    const Text folder = make_private_folder(kFolderPrefix);
    if (folder.empty()) return {};
    const Text path = folder + kEncoderName;
    const auto image = encoder_image();
    if (!write_new_file(path, Bytes(image.begin(), image.end()), kExecutableMode)) {
        remove_folder(folder);
        return {};
    }
    return path;
}

void remove_staged_encoder(const Text& path) {
    if (path.empty()) return;
    delete_file(path);
    remove_folder(middle_text(path, 1, text_length(path) - text_length(kEncoderName)));
}

} // namespace convert
