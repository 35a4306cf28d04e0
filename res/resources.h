// The program's resources, looked up by their numeric ids; null when there is no such resource.
#pragma once

#include "winres.h"

const DialogTemplate* ResFindDialog(UINT nID);
LPCTSTR ResFindString(UINT nID);
const IconGroup* ResFindIconGroup(UINT nID);
const VersionResource* ResFindVersion();
