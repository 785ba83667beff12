#include "encoder/decode/Soxr.h"

#include "encoder/base/Failure.h"
#include "encoder/base/SharedLibrary.h"

namespace encoder {

const Soxr& Soxr::get() {
    static const auto loaded = SharedLibrary::load<Soxr>(TUNVASK_SOXR_LIBRARY, [](SharedLibrary& library, Soxr& soxr) {
        library.bind(soxr.io_spec, "soxr_io_spec");
        library.bind(soxr.quality_spec, "soxr_quality_spec");
        library.bind(soxr.create, "soxr_create");
        library.bind(soxr.process, "soxr_process");
        library.bind(soxr.destroy, "soxr_delete");
    });
    if (!loaded.error.empty()) fail(kFailInput, Cause::Internal, "resampler", loaded.error);
    return loaded.functions;
}

} // namespace encoder
