#include "encoder/Failure.h"

namespace encoder {

void fail(ExitCode code, const std::string& file, const std::string& reason) {
    // Quoted, so a name ending in "n" never forms the "n:" that progress readers look for.
    throw Failure{code, "tvenc: '" + file + "': " + reason};
}

} // namespace encoder
