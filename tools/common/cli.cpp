#include "cli.h"

#include <utility>

#include "resources.h"

#include <cstring>

namespace cli {

namespace {

// Options every program answers, listed after its own in --help.
constexpr Option kCommonOptions[] = {
    {"--help", nullptr, "print this help and exit"},
    {"--version", nullptr, "print the version and exit"},
    {"--", nullptr,
     "end the options: every argument after it is a file, folder or number, "
     "even one that begins with a dash"},
};

constexpr int kOptionColumn = 22;
constexpr int kLineWidth = 79;

bool IsEndOfOptions(const char* arg) {
    return strcmp(arg, "--") == 0;
}

bool LooksLikeOption(const char* arg) {
    return arg[0] == '-' && arg[1] != '\0';
}

const Option* FindOption(std::span<const Option> known, const char* arg) {
    for (const Option& option : known)
        if (strcmp(option.name, arg) == 0)
            return &option;
    return nullptr;
}

std::string OptionLabel(const Option& option) {
    std::string label = option.name;
    if (option.value)
        label += std::string(" ") + option.value;
    return label;
}

// The meaning is wrapped at word boundaries to stay within a terminal's 80 columns, each
// further line under the first.
void PrintMeaning(const char* meaning, FILE* stream) {
    int column = kOptionColumn;
    const char* word = meaning;
    while (*word) {
        const size_t length = strcspn(word, " ");
        if (column > kOptionColumn && column + 1 + (int)length > kLineWidth) {
            fprintf(stream, "\n%*s", kOptionColumn, "");
            column = kOptionColumn;
        } else if (column > kOptionColumn) {
            fputc(' ', stream);
            ++column;
        }
        fwrite(word, 1, length, stream);
        column += (int)length;
        word += length;
        while (*word == ' ')
            ++word;
    }
    fputc('\n', stream);
}

void PrintOption(const Option& option, FILE* stream) {
    const std::string label = OptionLabel(option);
    fprintf(stream, "  %-*s", kOptionColumn - 2, label.c_str());
    // A label as wide as its column puts the meaning on the next line, under the others.
    if ((int)label.size() >= kOptionColumn - 2)
        fprintf(stream, "\n%*s", kOptionColumn, "");
    PrintMeaning(option.meaning, stream);
}

void PrintUsageLine(const Usage& usage, FILE* stream) {
    fprintf(stream, "usage: %s %s\n", usage.program, usage.synopsis);
}

} // namespace

std::optional<Arguments> SplitArguments(int argc, char** argv, std::span<const Option> known,
                                        std::string& why) {
    Arguments arguments;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (optionsEnded || !LooksLikeOption(arg)) {
            arguments.operands.push_back(arg);
            continue;
        }
        if (IsEndOfOptions(arg)) {
            optionsEnded = true;
            continue;
        }
        const Option* option = FindOption(known, arg);
        if (!option) {
            why = std::string("unknown option ") + arg;
            return std::nullopt;
        }
        arguments.options.push_back(arg);
        if (option->value) {
            if (i + 1 >= argc) {
                why = std::string("option ") + arg + " needs a value";
                return std::nullopt;
            }
            arguments.options.push_back(argv[++i]);
        }
    }
    return arguments;
}

std::string VersionText() {
    const WORD* v = ResFindVersion()->productVersion;
    return std::to_string(v[0]) + "." + std::to_string(v[1]) + "." + std::to_string(v[2]) + "." +
           std::to_string(v[3]);
}

void PrintHelp(const Usage& usage, FILE* stream) {
    PrintUsageLine(usage, stream);
    fprintf(stream, "%s\nOptions:\n", usage.description);
    for (const Option& option : usage.options)
        PrintOption(option, stream);
    for (const Option& option : kCommonOptions)
        PrintOption(option, stream);
    fprintf(stream, "\nExit status:\n%s", usage.exitStatus);
}

void PrintVersion(const Usage& usage, FILE* stream) {
    fprintf(stream, "%s %s\nCopyright 2026 Marrowfen. All rights reserved.\n", usage.program,
            VersionText().c_str());
}

void PrintUsageError(const Usage& usage, const std::string& why) {
    fprintf(stderr, "%s: %s\n", usage.program, why.c_str());
    PrintUsageLine(usage, stderr);
    fprintf(stderr, "Try '%s --help' for more.\n", usage.program);
}

std::optional<int> AnswerHelpOrVersion(int argc, char** argv, const Usage& usage) {
    for (int i = 1; i < argc && !IsEndOfOptions(argv[i]); ++i) {
        if (strcmp(argv[i], "--help") == 0) {
            PrintHelp(usage, stdout);
            return kExitOk;
        }
        if (strcmp(argv[i], "--version") == 0) {
            PrintVersion(usage, stdout);
            return kExitOk;
        }
    }
    return std::nullopt;
}

CommandLine ReadCommandLine(int argc, char** argv, const Usage& usage,
                            std::span<const Option> known, size_t nMinOperands, size_t nMaxOperands,
                            const char* countError) {
    CommandLine command;
    if ((command.exitStatus = AnswerHelpOrVersion(argc, argv, usage)))
        return command;
    std::string why;
    std::optional<Arguments> arguments = SplitArguments(argc, argv, known, why);
    if (arguments &&
        (arguments->operands.size() < nMinOperands || arguments->operands.size() > nMaxOperands))
        why = countError;
    if (!why.empty()) {
        PrintUsageError(usage, why);
        command.exitStatus = kExitUsage;
        return command;
    }
    command.arguments = std::move(*arguments);
    return command;
}

} // namespace cli
