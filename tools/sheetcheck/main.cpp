// sheetcheck FOLDER: lists the faults of the sprite sheets in FOLDER, one line each.
// Exit status: 0 no finding, 1 findings, 2 usage or folder error.
#include "sheetcheck.h"

#include <iostream>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: sheetcheck FOLDER\n";
        return sheetcheck::kUsageError;
    }
    return sheetcheck::CheckFolder(argv[1], std::cout, std::cerr);
}
