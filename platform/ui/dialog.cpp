#include "dialog_widget.h"

BEGIN_MESSAGE_MAP(CDialog, CWnd)
ON_COMMAND(IDOK, &CDialog::OnOK)
ON_COMMAND(IDCANCEL, &CDialog::OnCancel)
END_MESSAGE_MAP()

namespace {

// The window a modal dialog belongs to: the one it was given, else the application's main
// window, as the framework picks an owner; never the dialog itself. An owned window has no
// taskbar entry of its own, is minimised and restored with its owner, opens centred on it and
// shows its icon.
QWidget* OwnerOf(const CDialog* pDialog, CWnd* pParentWnd) {
    if (!pParentWnd && AfxGetApp())
        pParentWnd = AfxGetApp()->m_pMainWnd;
    if (!pParentWnd || pParentWnd == pDialog)
        return nullptr;
    return AfxWidgetFromHandle(pParentWnd->GetSafeHwnd());
}

} // namespace

void AfxMapDialogRect(LPRECT lpRect) {
    if (!lpRect)
        return;
    lpRect->left = MulDiv(lpRect->left, 6, 4);
    lpRect->right = MulDiv(lpRect->right, 6, 4);
    lpRect->top = MulDiv(lpRect->top, 13, 8);
    lpRect->bottom = MulDiv(lpRect->bottom, 13, 8);
}

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl) {
    if (rControl.m_hWnd || !pDX || !pDX->m_pDlgWnd)
        return;
    // A temporary object stands for the control until a member takes it over; Attach refuses a
    // control that another member already holds.
    if (CWnd* pItem = pDX->m_pDlgWnd->GetDlgItem(nIDC))
        rControl.Attach(pItem->GetSafeHwnd());
}

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd), m_nModalResult(-1), m_bEnded(FALSE) {}

CDialog::~CDialog() {
    delete AfxWidgetFromHandle(m_hWnd); // null once the window is gone
}

INT_PTR CDialog::DoModal() {
    const DialogTemplate* pTemplate = ui::FindDialogResource(m_nIDTemplate);
    if (!pTemplate || m_hWnd)
        return -1;
    auto* dialog = new ui::DialogWidget(*pTemplate, OwnerOf(this, m_pParentWnd));
    Attach(dialog->Handle());
    m_bEnded = FALSE;
    m_nModalResult = -1;

    BOOL bSetFocus = OnInitDialog();
    if (!m_bEnded) {
        // Qt takes a window as modal only if it is marked so when it becomes visible.
        dialog->setWindowModality(Qt::ApplicationModal);
        dialog->show();
        if (bSetFocus)
            dialog->FocusFirstTabStop();
        int result = dialog->exec();
        if (!m_bEnded)
            m_nModalResult = result;
    }
    delete dialog; // the window, its controls and its timers end here
    return m_nModalResult;
}

void CDialog::EndDialog(int nResult) {
    m_nModalResult = nResult;
    m_bEnded = TRUE;
    if (ui::DialogWidget* dialog = ui::AsDialog(m_hWnd))
        dialog->done(nResult);
}

BOOL CDialog::UpdateData(BOOL) {
    CDataExchange dx(this);
    DoDataExchange(&dx);
    return TRUE;
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::DoDataExchange(CDataExchange*) {}

void CDialog::OnOK() {
    if (UpdateData(TRUE))
        EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

// Commands a dialog does not handle itself go on to the application.
BOOL CDialog::OnCommand(WPARAM wParam, LPARAM lParam) {
    CWinApp* pApp = AfxGetApp();
    return CWnd::OnCommand(wParam, lParam) ||
           (pApp && pApp->DispatchMessageMap(WM_COMMAND, wParam, lParam, nullptr));
}
