// quelmir-cli: runs scripts and checks the system without a window. See
// CliRunner for the commands.
#include <iostream>
#include <string>
#include <vector>

#include "tools/cli/CliRunner.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    CliRunner runner(std::cout, std::cerr);
    return runner.run(args);
}
