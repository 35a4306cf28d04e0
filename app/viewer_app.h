// CViewerApp: the application object. It points the settings at the maker's key and runs
// the viewer dialog; the program ends when the dialog closes.
#pragma once

#include "afxwin.h"

class CViewerApp : public CWinApp {
public:
    CViewerApp();

    BOOL InitInstance() override;

    DECLARE_MESSAGE_MAP()
};
