// Whether a sheet file on disk holds the whole picture its header announces, for a reader that
// must not show a save caught half-written (the live reload). Load itself shows whatever part
// of a file is there; these checks only tell a finished file from an unfinished one.
#pragma once

#include "dib.h"

// TRUE when the file, from its current position, holds all of its picture: a BMP every byte
// of pixel data its header announces (every row, when uncompressed; a run-length picture
// reaching its end-of-bitmap code also counts), a JPEG its end-of-image marker after the
// last scan. A run-length BMP that gives no size and has no end-of-bitmap code cannot tell,
// and counts as complete unless it ends inside a code; so does anything that is not a BMP or
// a JPEG, which Read refuses anyway. The position is restored; read errors count as incomplete.
BOOL IsSheetComplete(CFile* pFile);

enum class SheetLoad { Loaded, Incomplete, Failed };

// Load for a reader that wants only finished files: the file is opened once, checked, and
// read from the same handle, so a save that replaces it meanwhile cannot mix two files. A file
// that grows or shrinks while it is read counts as incomplete. On anything but Loaded the
// picture in dib is unspecified: read into a fresh CDIB and keep it only when Loaded.
SheetLoad LoadCompleteSheet(CDIB& dib, LPCTSTR lpszPath, CPalette* pPalette);
