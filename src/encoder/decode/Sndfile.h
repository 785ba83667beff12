#pragma once

#include <sndfile.h>

namespace encoder {

// libsndfile's functions, loaded the first time a source is not MPEG audio instead of at
// every start: it brings the FLAC, Vorbis and Opus libraries along, half a millisecond
// of each start, and most sources are MP3.
struct Sndfile {
    decltype(&sf_open_virtual) open_virtual;
    decltype(&sf_command) command;
    decltype(&sf_readf_float) readf_float;
    decltype(&sf_seek) seek;
    decltype(&sf_error) error;
    decltype(&sf_strerror) strerror;
    decltype(&sf_close) close;

    // Loaded once for every thread; a library that cannot be loaded fails the conversion.
    static const Sndfile& get();
};

} // namespace encoder
