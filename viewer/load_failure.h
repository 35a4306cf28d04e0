// Why the sheet of the row on show is not on show: worked out once, when its file fails to
// load, by the diagnosis sheetcheck prints, and told in the row strip as one line.
#pragma once

#include "afxwin.h"
#include "sheet_diagnosis.h"

#include <QFont>
#include <QString>

#include <optional>

// Why the sheet file at lpszPath, read as a sheet of nMode, does not load; nothing when it
// loads after all (its save finished in the meantime).
std::optional<sheetdiag::Diagnosis> DiagnoseLoadFailure(LPCTSTR lpszPath, int nMode);

// Why a sheet that the live reload found half-saved is not on show: the watcher waits for the
// writes that complete it.
sheetdiag::Diagnosis SaveUnderWay();

// The diagnosis as one line at most nWidth pixels wide in font: sheetcheck's whole line when
// it fits, else the cause in brief with the fix, cut at the right with an ellipsis when even
// that is too wide.
QString LoadFailureLine(const sheetdiag::Diagnosis& why, const QFont& font, int nWidth);
