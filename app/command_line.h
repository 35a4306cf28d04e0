// kyrattack [OPTION]... [FILE | FOLDER]: what the program's command line asks for. The
// toolkit's own options (-platform, -style, ...) are passed on to it; a sheet file or folder
// is opened once the viewer is up.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct StartCommand {
    // Set when the program ends at once: --help, --version or a usage error.
    std::optional<int> exitStatus;
    // The program's name and the toolkit's options, for the application object.
    std::vector<std::string> toolkitArguments;
    // The sheet file or folder to open, absolute; empty for none.
    std::string startPath;
};

// Reads the command line before any window or display exists; prints what --help,
// --version, a usage error or a path the viewer will not open call for.
StartCommand ReadCommandLine(int argc, char** argv);

// The absolute form of a sheet file or folder given on the command line, as a drop or the
// folder edit would take it; nothing, and why in `why`, for anything else.
std::optional<std::string> StartPathFromArgument(const std::string& argument, std::string& why);
