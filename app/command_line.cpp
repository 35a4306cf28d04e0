#include "command_line.h"

#include "cli.h"
#include "sheet.h"

#include <filesystem>
#include <system_error>

namespace {

namespace fs = std::filesystem;

const cli::Usage kUsage = {
    "kyrattack",
    "[OPTION]... [--] [FILE | FOLDER]",
    "Shows a row of a game's attack or effects sprite sheets whole, an animated\n"
    "close-up of its frame and a stage across which the sprite is thrown.\n"
    "FILE, a sheet named attackNN.bmp or effectsNN.bmp (any case, NN from 00 to\n"
    "19), opens as dropping it on the viewer does: its folder, its mode, its\n"
    "first row (NN x 10), and the folder is saved. FOLDER becomes the art folder\n"
    "as if typed and reloaded. Anything else is not opened: the viewer starts as\n"
    "usual and says why on standard error.\n"
    "The toolkit's options (-platform NAME, -style NAME, ...) are accepted as well.\n",
    {},
    "  0  the viewer was closed, or --help or --version\n"
    "  1  no display to show the viewer on\n"
    "  2  wrong arguments\n",
};

// The toolkit's options, in both of the spellings it reads, and whether each takes a value.
// clang-format off
#define KYR_TOOLKIT_OPTION(name, value) \
    {"-" name, value, "passed on to the toolkit"}, {"--" name, value, "passed on to the toolkit"}
// clang-format on
constexpr cli::Option kToolkitOptions[] = {
    KYR_TOOLKIT_OPTION("platform", "NAME"),
    KYR_TOOLKIT_OPTION("platformpluginpath", "PATH"),
    KYR_TOOLKIT_OPTION("platformtheme", "NAME"),
    KYR_TOOLKIT_OPTION("plugin", "NAME"),
    KYR_TOOLKIT_OPTION("qwindowgeometry", "GEOMETRY"),
    KYR_TOOLKIT_OPTION("qwindowicon", "ICON"),
    KYR_TOOLKIT_OPTION("qwindowtitle", "TITLE"),
    KYR_TOOLKIT_OPTION("reverse", nullptr),
    KYR_TOOLKIT_OPTION("session", "NAME"),
    KYR_TOOLKIT_OPTION("style", "NAME"),
    KYR_TOOLKIT_OPTION("stylesheet", "FILE"),
    KYR_TOOLKIT_OPTION("widgetcount", nullptr),
    KYR_TOOLKIT_OPTION("display", "NAME"),
    KYR_TOOLKIT_OPTION("geometry", "GEOMETRY"),
    KYR_TOOLKIT_OPTION("name", "NAME"),
};
#undef KYR_TOOLKIT_OPTION

// A folder the folder edit can pass on whole, as a dropped sheet's folder must be.
bool FolderFitsTheEdit(const std::string& folder) {
    return folder.size() <= (size_t)kMaxFolderChars && folder.find('\\') == std::string::npos;
}

std::string AbsolutePath(const std::string& argument) {
    std::error_code error;
    fs::path path = fs::absolute(argument, error);
    if (error)
        return argument;
    std::string text = path.lexically_normal().string();
    // "art/" names the folder "art"; only the root keeps its slash.
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    return text;
}

} // namespace

std::optional<std::string> StartPathFromArgument(const std::string& argument, std::string& why) {
    const std::string path = AbsolutePath(argument);
    std::error_code error;
    if (SheetFromDroppedPath(path)) {
        if (fs::is_regular_file(path, error))
            return path;
        why = "there is no sheet file " + path;
        return std::nullopt;
    }
    if (fs::is_directory(path, error)) {
        if (FolderFitsTheEdit(path))
            return path;
        why = "the folder edit cannot hold " + path + " (over " + std::to_string(kMaxFolderChars) +
              " characters, or a backslash)";
        return std::nullopt;
    }
    if (fs::exists(path, error))
        why = path + " is neither a folder nor a sheet file (attackNN.bmp or effectsNN.bmp, "
                     "NN from 00 to 19)";
    else
        why = "there is no file or folder " + path;
    return std::nullopt;
}

StartCommand ReadCommandLine(int argc, char** argv) {
    StartCommand command;
    cli::CommandLine line =
        cli::ReadCommandLine(argc, argv, kUsage, kToolkitOptions, 0, 1, "opens one FILE or FOLDER");
    if ((command.exitStatus = line.exitStatus))
        return command;
    command.toolkitArguments.push_back(argc > 0 ? argv[0] : "kyrattack");
    for (const std::string& option : line.arguments.options)
        command.toolkitArguments.push_back(option);
    if (!line.arguments.operands.empty()) {
        std::string why;
        if (std::optional<std::string> path =
                StartPathFromArgument(line.arguments.operands[0], why))
            command.startPath = *path;
        else
            fprintf(stderr, "kyrattack: not opened: %s\n", why.c_str());
    }
    return command;
}
