#include "convert/EncoderImage.h"

#include "primitives/Files.h"

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

extern "C" const std::uint8_t tvenc_image_data[];
extern "C" const std::size_t tvenc_image_size;

namespace convert {

using namespace primitives;

namespace {

constexpr const char* kEncoderName = "/60718243.exe";
constexpr const char* kTemporaryPrefix = "tunvask-encoder-";

Text private_temporary_folder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const char* tmp = std::getenv("TMPDIR");
    Text base = runtime && *runtime ? runtime : tmp && *tmp ? tmp : "/tmp";
    Text pattern = base + "/" + kTemporaryPrefix + "XXXXXX";
    if (!::mkdtemp(pattern.data())) return {};
    return pattern;
}

} // namespace

std::span<const std::uint8_t> encoder_image() { return {tvenc_image_data, tvenc_image_size}; }

Text stage_encoder_in(const Text& folder) {
    const Text path = folder + kEncoderName;
    // A file that a running process executes cannot be rewritten: replace it.
    delete_file(path);
    const auto image = encoder_image();
    const Bytes bytes(image.begin(), image.end());
    if (!write_file(path, bytes) || ::chmod(path.c_str(), 0755) != 0) {
        delete_file(path);
        return {};
    }
    return path;
}

Text stage_encoder() { return stage_encoder(program_folder()); }

Text stage_encoder(const Text& preferred) {
    if (Text path = stage_encoder_in(preferred); !path.empty()) return path;
    const Text folder = private_temporary_folder();
    if (folder.empty()) return {};
    if (Text path = stage_encoder_in(folder); !path.empty()) return path;
    ::rmdir(folder.c_str());
    return {};
}

void remove_staged_encoder(const Text& path) {
    if (path.empty()) return;
    delete_file(path);
    const Text folder = middle_text(path, 1, text_length(path) - text_length(kEncoderName));
    if (find_text(file_name_of(folder), kTemporaryPrefix, CodePage::Utf8) == 1) ::rmdir(folder.c_str());
}

} // namespace convert
