#include "convert/EncoderImage.h"

#include "primitives/Files.h"
#include "primitives/Staging.h"
#include "primitives/TrialRun.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

extern "C" const std::uint8_t tvenc_image_data[];
extern "C" const std::size_t tvenc_image_size;

namespace convert {

using namespace primitives;

namespace {

constexpr const char* kEncoderName = "/60718243.exe";
constexpr const char* kFolderPrefix = "tunvask-encoder-";
constexpr int kExecutableMode = 0755;

// A full or read-only base gives way to the next one, and so does one where the staged
// encoder does not start (a file system mounted to start no programs, a security policy).
Text stage_in(const Text& base, FolderLock& lock, std::span<const std::uint8_t> image) {
    const Text folder = make_private_folder(base, kFolderPrefix);
    if (folder.empty()) return {};
    const Text path = folder + kEncoderName;
    if (lock.acquire(folder) && write_new_file(path, Bytes(image.begin(), image.end()), kExecutableMode) &&
        runs_cleanly({path, "--version"}))
        return path;
    const int error = errno;
    lock.release();
    delete_file(path);
    remove_folder(folder);
    errno = error;
    return {};
}

} // namespace

std::span<const std::uint8_t> encoder_image() {
    return {tvenc_image_data, tvenc_image_size};
}

Text stage_encoder(FolderLock& lock, std::span<const std::uint8_t> image) {
    Text reasons;
    std::vector<Text> tried;
    // The cache folder is made only where no other base would do.
    for (const bool make_cache : {false, true}) {
        for (const Text& base : staging_bases(make_cache)) {
            if (std::find(tried.begin(), tried.end(), base) != tried.end()) continue;
            tried.push_back(base);
            const Text path = stage_in(base, lock, image);
            if (!path.empty()) return path;
            reasons += " " + base + ": " + std::strerror(errno) + ";";
        }
    }
    std::fprintf(stderr, "tunvask: no safe folder to stage the encoder in:%s\n",
                 reasons.empty() ? " none is owned by this user and closed to others" : reasons.c_str());
    return {};
}

void remove_staged_encoder(const Text& path, FolderLock& lock) {
    lock.release();
    if (path.empty()) return;
    delete_file(path);
    remove_folder(middle_text(path, 1, text_length(path) - text_length(kEncoderName)));
}

int remove_stale_encoders() {
    return remove_stale_folders(kFolderPrefix);
}

} // namespace convert
