// sheetcheck [--] FOLDER: lists the faults of the sprite sheets in FOLDER, one line each.
// Exit status: 0 no finding, 1 findings, 2 usage or folder error.
#include "cli.h"
#include "sheetcheck.h"

#include <iostream>
#include <optional>
#include <string>

namespace {

const cli::Usage kUsage = {
    "sheetcheck",
    "[--] FOLDER",
    "Checks every sheet of FOLDER (the viewer's path rules: 'c:\\Kyr\\art' is the\n"
    "sample art) as the viewer loads it and prints one line per finding, with\n"
    "file, row, cell and pixel: a file that does not load (why, and the command\n"
    "that fixes it), a picture smaller than its kind needs, sprite pixels whose\n"
    "colour is close to the key colour without being it, sprite pixels drawn over\n"
    "a cell's grid line, and empty cells.\n",
    {},
    "  0  no finding\n"
    "  1  findings\n"
    "  2  wrong arguments, or FOLDER is not a folder that can be read\n",
};

} // namespace

int main(int argc, char** argv) {
    const cli::CommandLine command =
        cli::ReadCommandLine(argc, argv, kUsage, {}, 1, 1, "needs one FOLDER");
    if (command.exitStatus)
        return *command.exitStatus;
    return sheetcheck::CheckFolder(command.arguments.operands[0], std::cout, std::cerr);
}
