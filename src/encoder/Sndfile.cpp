#include "encoder/Sndfile.h"

#include "encoder/Failure.h"
#include "encoder/SharedLibrary.h"

namespace encoder {

namespace {

struct Loaded {
    Sndfile sndfile{};
    std::string error;
};

Loaded load() {
    SharedLibrary library(TUNVASK_SNDFILE_LIBRARY);
    Loaded loaded;
    library.bind(loaded.sndfile.open_virtual, "sf_open_virtual");
    library.bind(loaded.sndfile.command, "sf_command");
    library.bind(loaded.sndfile.readf_float, "sf_readf_float");
    library.bind(loaded.sndfile.seek, "sf_seek");
    library.bind(loaded.sndfile.error, "sf_error");
    library.bind(loaded.sndfile.strerror, "sf_strerror");
    library.bind(loaded.sndfile.close, "sf_close");
    loaded.error = library.error();
    return loaded;
}

} // namespace

const Sndfile& Sndfile::get() {
    static const Loaded loaded = load();
    if (!loaded.error.empty()) fail(kFailInput, Cause::Internal, "decoder", loaded.error);
    return loaded.sndfile;
}

} // namespace encoder
