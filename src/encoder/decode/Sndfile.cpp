#include "encoder/decode/Sndfile.h"

#include "encoder/base/Failure.h"
#include "encoder/base/SharedLibrary.h"

namespace encoder {

const Sndfile& Sndfile::get() {
    static const auto loaded =
        SharedLibrary::load<Sndfile>(TUNVASK_SNDFILE_LIBRARY, [](SharedLibrary& library, Sndfile& sndfile) {
            library.bind(sndfile.open_virtual, "sf_open_virtual");
            library.bind(sndfile.command, "sf_command");
            library.bind(sndfile.readf_float, "sf_readf_float");
            library.bind(sndfile.seek, "sf_seek");
            library.bind(sndfile.error, "sf_error");
            library.bind(sndfile.strerror, "sf_strerror");
            library.bind(sndfile.close, "sf_close");
        });
    if (!loaded.error.empty()) fail(kFailInput, Cause::Internal, "decoder", loaded.error);
    return loaded.functions;
}

} // namespace encoder
