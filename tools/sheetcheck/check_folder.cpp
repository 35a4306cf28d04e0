#include "sheetcheck.h"

#include "sheet.h"
#include "sheet_diagnosis.h"

#include <filesystem>
#include <system_error>

namespace sheetcheck {

namespace {

bool Exists(const CString& path, bool folder) {
    std::error_code ec;
    std::filesystem::path host(AfxResolvePath(path));
    return folder ? std::filesystem::is_directory(host, ec) : std::filesystem::exists(host, ec);
}

std::optional<sheetdiag::Diagnosis> DiagnoseSheet(const CString& path, int mode, CDIB* pSheet) {
    const SheetGeometry g = GetSheetGeometry(mode);
    return sheetdiag::DiagnoseSheetFile(path, g.framesPerRow * g.cellSize,
                                        kRowsPerFile * g.cellSize, pSheet);
}

} // namespace

int CheckFolder(const std::string& folder, std::ostream& out, std::ostream& err) {
    if (!Exists(folder.c_str(), true)) {
        err << "sheetcheck: " << folder << ": no such folder\n";
        return kUsageError;
    }
    int present = 0, findings = 0;
    for (int mode : {MODE_ATTACK, MODE_EFFECTS})
        for (int file = 0; file * kRowsPerFile <= kLastRow; ++file) {
            const CString name = SheetFileName(mode, file * kRowsPerFile);
            const CString path = SheetPath(folder.c_str(), name);
            if (!Exists(path, false))
                continue;
            ++present;
            CDIB sheet;
            if (auto why = DiagnoseSheet(path, mode, &sheet)) {
                out << name.str() << ": " << sheetdiag::LongForm(*why) << '\n';
                ++findings;
                continue;
            }
            for (const Finding& f : CheckSheet(sheet, mode)) {
                out << FormatFinding(name.str(), file, f) << '\n';
                ++findings;
            }
        }
    if (present == 0) {
        err << "sheetcheck: " << folder << ": holds no attackNN.bmp or effectsNN.bmp\n";
        return kUsageError;
    }
    return findings ? kFindings : kClean;
}

} // namespace sheetcheck
