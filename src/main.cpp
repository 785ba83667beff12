#include "shell/Startup.h"

int main(int argc, char** argv) {
    return shell::run_program(argc, argv);
}
