#include "sheetcheck.h"

#include "diagnose.h"
#include "sheet.h"

#include <filesystem>
#include <system_error>

namespace sheetcheck {

namespace {

bool Exists(const CString& path, bool folder) {
    std::error_code ec;
    std::filesystem::path host(AfxResolvePath(path));
    return folder ? std::filesystem::is_directory(host, ec) : std::filesystem::exists(host, ec);
}

// Loads exactly as the viewer does; a file exception that escapes Load counts as a failure.
bool LoadLikeTheViewer(CDIB& sheet, const CString& path) {
    try {
        return sheet.Load(path, nullptr);
    } catch (CException* e) {
        e->Delete();
        return false;
    }
}

std::optional<Diagnosis> DiagnoseSheetFile(const CString& path, int mode) {
    const SheetGeometry g = GetSheetGeometry(mode);
    const std::string host = std::filesystem::path(AfxResolvePath(path)).lexically_normal();
    return DiagnoseFile(host, g.framesPerRow * g.cellSize, kRowsPerFile * g.cellSize);
}

std::string NotLoadedLine(const std::string& fileName, const Diagnosis& why) {
    return fileName + ": does not load: " + why.cause + ". Fix: " + why.fix;
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
            // What the header already tells is said without decoding anything.
            if (auto why = DiagnoseSheetFile(path, mode)) {
                out << NotLoadedLine(name.str(), *why) << '\n';
                ++findings;
                continue;
            }
            CDIB sheet;
            if (!LoadLikeTheViewer(sheet, path)) {
                out << NotLoadedLine(name.str(), {"its picture data is damaged",
                                                  "save the sheet again from your editor"})
                    << '\n';
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
