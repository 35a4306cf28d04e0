// What every program of the project does the same way on its command line: --help prints the
// usage with every option explained and exits 0, --version prints the version block's version
// and exits 0, "--" ends the options, and an option the program does not know is a usage
// error (exit status 2), never taken for a file or folder.
#pragma once

#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace cli {

constexpr int kExitOk = 0;
constexpr int kExitUsage = 2;

struct Option {
    const char* name;    // as typed: "--arc", "-style"
    const char* value;   // the name of its value, as in "--scale N"; null when it takes none
    const char* meaning; // what it does, for --help
};

// What --help prints: the usage line, what the program does, its options (the program's
// own, then --help, --version and --) and its exit status.
struct Usage {
    const char* program;     // "sheetconv"
    const char* synopsis;    // what follows the name on the usage line
    const char* description; // one or more lines, each ending in a line break
    std::span<const Option> options;
    const char* exitStatus; // one or more lines, each ending in a line break
};

// The arguments of a command line: the options a program knows, each with its value when
// it takes one, and the operands (files, folders, numbers) in their order.
struct Arguments {
    std::vector<std::string> options;
    std::vector<std::string> operands;
};

// Splits argv[1..] by the options given. An argument that begins with a dash (a lone "-"
// aside) before "--" must be one of them; anything after "--" is an operand. Nothing when
// an option is unknown or lacks its value; why is written to `why`.
std::optional<Arguments> SplitArguments(int argc, char** argv, std::span<const Option> known,
                                        std::string& why);

// The version block's product version, "1.0.0.1".
std::string VersionText();

void PrintHelp(const Usage& usage, FILE* stream);
void PrintVersion(const Usage& usage, FILE* stream);
// "<program>: <why>", the usage line and where to read more, on standard error.
void PrintUsageError(const Usage& usage, const std::string& why);

// When --help or --version comes before any "--": prints what it asks for on standard output
// and gives the exit status to end with; nothing otherwise.
std::optional<int> AnswerHelpOrVersion(int argc, char** argv, const Usage& usage);

// What a program's command line asked for: the status to exit with at once (--help, --version
// or a usage error, already printed), or its arguments.
struct CommandLine {
    std::optional<int> exitStatus;
    Arguments arguments;
};

// Answers --help and --version, or splits the arguments by the options given and checks that
// from nMinOperands to nMaxOperands operands came; a usage error otherwise, with countError
// as its why when only the count is wrong.
CommandLine ReadCommandLine(int argc, char** argv, const Usage& usage,
                            std::span<const Option> known, size_t nMinOperands, size_t nMaxOperands,
                            const char* countError);

} // namespace cli
