#include "encoder/Soxr.h"

#include "encoder/Failure.h"
#include "encoder/SharedLibrary.h"

namespace encoder {

namespace {

struct Loaded {
    Soxr soxr{};
    std::string error;
};

Loaded load() {
    SharedLibrary library(TUNVASK_SOXR_LIBRARY);
    Loaded loaded;
    library.bind(loaded.soxr.io_spec, "soxr_io_spec");
    library.bind(loaded.soxr.quality_spec, "soxr_quality_spec");
    library.bind(loaded.soxr.create, "soxr_create");
    library.bind(loaded.soxr.process, "soxr_process");
    library.bind(loaded.soxr.destroy, "soxr_delete");
    loaded.error = library.error();
    return loaded;
}

} // namespace

const Soxr& Soxr::get() {
    static const Loaded loaded = load();
    if (!loaded.error.empty()) fail(kFailInput, Cause::Internal, "resampler", loaded.error);
    return loaded.soxr;
}

} // namespace encoder
