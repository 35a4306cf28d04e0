// Runs a fuzz target's entry function over saved inputs (files or folders of files), so that
// every input that once crashed is replayed by the ordinary sanitizer build.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fs = std::filesystem;

static int ReplayFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    return 1;
}

int main(int argc, char** argv) {
    int replayed = 0;
    for (int i = 1; i < argc; ++i) {
        fs::path arg(argv[i]);
        if (fs::is_directory(arg)) {
            for (const auto& entry : fs::recursive_directory_iterator(arg))
                if (entry.is_regular_file())
                    replayed += ReplayFile(entry.path());
        } else if (fs::is_regular_file(arg)) {
            replayed += ReplayFile(arg);
        }
    }
    // A crash or sanitizer report ends the process before this line.
    printf("%d passed, 0 failed\n", replayed);
    return 0;
}
