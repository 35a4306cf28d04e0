// The program's resources, looked up by their numeric ids; null when there is no such resource.
#pragma once

#include "winres.h"

const DialogTemplate* ResFindDialog(UINT nID);
LPCTSTR ResFindString(UINT nID);
const IconGroup* ResFindIconGroup(UINT nID);
const VersionResource* ResFindVersion();

// The four look-ups above as one table, for the window side to find the program's resources by.
const ResourceTable* ResGetTable();
