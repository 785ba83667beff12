#pragma once

namespace shell {

// Start-up to exit: the whole program behind main().
int run_program(int argc, char** argv);

} // namespace shell
