// The tag reader that copies ID3v2 tags and the ID3v1 trailer: on any file it takes
// only whole tags, never more bytes than the file has.
#include "encoder/decode/Tags.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    char path[] = "/tmp/tunvask-fuzz-tags-XXXXXX";
    const int fd = ::mkstemp(path);
    if (fd < 0) return 0;
    ::close(fd);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    const encoder::SourceTags tags = encoder::read_tags(encoder::SourceFile(path));
    ::unlink(path);
    if (tags.leading.size() + tags.trailing.size() > size) std::abort();
    if (!tags.trailing.empty() && tags.trailing.size() != 128) std::abort();
    return 0;
}
