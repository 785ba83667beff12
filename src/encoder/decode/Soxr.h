#pragma once

#include "shared/Owned.h"

#include <soxr.h>

namespace encoder {

// libsoxr's functions, loaded the first time a stream needs resampling instead of at
// every start: most conversions never resample, and loading the library (with the
// OpenMP runtime it brings) took about a millisecond of each start, time that no other
// core can share.
struct Soxr {
    decltype(&soxr_io_spec) io_spec;
    decltype(&soxr_quality_spec) quality_spec;
    decltype(&soxr_create) create;
    decltype(&soxr_process) process;
    decltype(&soxr_delete) destroy;

    // Loaded once for every thread; a library that cannot be loaded fails the conversion.
    static const Soxr& get();
};

inline void delete_soxr(soxr_t soxr) {
    Soxr::get().destroy(soxr);
}
// A resampler, deleted on every path, failures included.
using SoxrHandle = shared::Owned<soxr_t, delete_soxr>;

} // namespace encoder
