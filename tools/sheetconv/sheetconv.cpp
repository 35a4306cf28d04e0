// sheetconv [--] INPUT OUTPUT: loads a sheet the way the viewer does and writes what it then holds
// as an uncompressed 8-bit bottom-up BMP, so the loader can be checked from outside.
#include "bmp_writer.h"
#include "cli.h"
#include "dib.h"
#include "output_file.h"

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

std::vector<BYTE> EncodeBmp(const CDIB& dib) {
    const int nHeight = dib.GetHeight(), nStride = dib.GetStride();
    BmpTable table;
    memcpy(table.data(), reinterpret_cast<const BYTE*>(dib.m_pBMI) + sizeof(BITMAPINFOHEADER),
           sizeof(table));
    // The DIB is bottom-up: picture row y is memory row height - 1 - y.
    return EncodeBmp8(
        dib.GetWidth(), nHeight,
        [&](int y) { return dib.m_pBits + (size_t)(nHeight - 1 - y) * nStride; }, table);
}

const cli::Usage kUsage = {
    "sheetconv",
    "[--] INPUT OUTPUT",
    "Loads the sheet INPUT exactly as the viewer does (its path rules, BMP or\n"
    "JPEG told by content) and writes the picture it then holds to OUTPUT as an\n"
    "uncompressed 8-bit bottom-up BMP with its 256-colour table. OUTPUT is\n"
    "replaced whole or not at all.\n",
    {},
    "  0  the sheet was converted\n"
    "  1  INPUT cannot be read as a sheet, or OUTPUT cannot be written\n"
    "  2  wrong arguments\n",
};

} // namespace

int main(int argc, char** argv) {
    const cli::CommandLine command =
        cli::ReadCommandLine(argc, argv, kUsage, {}, 2, 2, "needs INPUT and OUTPUT");
    if (command.exitStatus)
        return *command.exitStatus;
    const std::string& input = command.arguments.operands[0];
    const std::string& output = command.arguments.operands[1];
    CDIB dib;
    if (!dib.Load(input.c_str(), nullptr)) {
        fprintf(stderr, "sheetconv: cannot read %s\n", input.c_str());
        return 1;
    }
    if (!WriteOutputFile(output, EncodeBmp(dib))) {
        fprintf(stderr, "sheetconv: cannot write %s\n", output.c_str());
        return 1;
    }
    return 0;
}
