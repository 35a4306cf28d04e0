// CViewerApp: the application object. It points the settings at the maker's key and runs
// the viewer dialog; the program ends when the dialog closes.
#pragma once

#include "afxwin.h"

#include <string>

class CViewerApp : public CWinApp {
public:
    CViewerApp();

    BOOL InitInstance() override;

    // A sheet file or folder (absolute) for the viewer to open once it is up; empty for none.
    void SetStartPath(const std::string& path);

    DECLARE_MESSAGE_MAP()

private:
    std::string m_strStartPath;
};
