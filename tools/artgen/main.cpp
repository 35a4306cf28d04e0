// artgen FOLDER: draws the sample sprite sheets into FOLDER, creating it if need be.
#include "sheets.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: artgen FOLDER\n");
        return 2;
    }
    std::error_code ec;
    std::filesystem::create_directories(argv[1], ec);
    if (ec) {
        fprintf(stderr, "artgen: %s: %s\n", argv[1], ec.message().c_str());
        return 1;
    }
    std::string error = artgen::WriteAllSheets(argv[1]);
    if (!error.empty()) {
        fprintf(stderr, "artgen: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
