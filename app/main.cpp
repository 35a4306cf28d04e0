#include "command_line.h"
#include "viewer_app.h"

#include <vector>

int main(int argc, char** argv) {
    // --help and --version answer without a display, so the command line is read before the
    // framework starts.
    StartCommand command = ReadCommandLine(argc, argv);
    if (command.exitStatus)
        return *command.exitStatus;
    // The toolkit keeps pointers into its arguments while it runs.
    std::vector<char*> toolkitArgv;
    for (std::string& argument : command.toolkitArguments)
        toolkitArgv.push_back(argument.data());
    toolkitArgv.push_back(nullptr);

    // The one application object: made before the framework starts, gone after it ends.
    CViewerApp theApp;
    theApp.SetStartPath(command.startPath);
    return AfxWinMain((int)command.toolkitArguments.size(), toolkitArgv.data());
}
