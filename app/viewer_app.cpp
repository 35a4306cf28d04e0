#include "viewer_app.h"

#include "resources.h"
#include "viewer_dlg.h"

BEGIN_MESSAGE_MAP(CViewerApp, CWinApp)
ON_COMMAND(ID_HELP, &CWinApp::OnHelp)
END_MESSAGE_MAP()

// Made before the framework starts, so the framework finds the program's templates, strings,
// icon and version block from the first window on; every program that runs the viewer dialog
// (the viewer itself, the tests, the tools and benchmarks that drive it offscreen) makes one.
CViewerApp::CViewerApp() {
    AfxSetResourceTable(ResGetTable());
}

BOOL CViewerApp::InitInstance() {
    AfxEnableControlContainer();
    Enable3dControls();
    SetRegistryKey("Marrowfen");

    CViewerDlg dlg;
    m_pMainWnd = &dlg;
    if (!m_strStartPath.empty())
        dlg.OpenOnStart(m_strStartPath);
    dlg.DoModal();

    // The dialog has closed: end the application instead of entering a message loop.
    return FALSE;
}

void CViewerApp::SetStartPath(const std::string& path) {
    m_strStartPath = path;
}
