#include "viewer_dlg.h"

#include "about_dlg.h"
#include "load_failure.h"

#include <QString>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <utility>

namespace {

constexpr LPCTSTR kPrefsSection = "Prefs";
constexpr LPCTSTR kFolderEntry = "fileName";
constexpr LPCTSTR kDefaultFolder = "c:\\Kyr\\art";

// Buffer sizes for the texts read back from the controls, terminator included.
constexpr int kRowTextChars = 100;
constexpr int kFolderTextChars = kMaxFolderChars + 1;
constexpr int kSavedFolderChars = 999;

CString ReadFolderSetting() {
    CWinApp* pApp = AfxGetApp();
    return pApp ? pApp->GetProfileString(kPrefsSection, kFolderEntry, kDefaultFolder)
                : CString(kDefaultFolder);
}

void WriteFolderSetting(LPCTSTR lpszFolder) {
    if (CWinApp* pApp = AfxGetApp())
        pApp->WriteProfileString(kPrefsSection, kFolderEntry, lpszFolder);
}

} // namespace

int RowNumberFromText(LPCTSTR lpszText) {
    if (!lpszText)
        return 0;
    long long value = strtoll(lpszText, nullptr, 10); // saturates at the long long range
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return (int)value;
}

BEGIN_MESSAGE_MAP(CViewerDlg, CDialog)
ON_WM_SYSCOMMAND()
ON_WM_PAINT()
ON_WM_QUERYDRAGICON()
ON_BN_CLICKED(IDC_RELOAD, &CViewerDlg::OnReload)
ON_BN_CLICKED(IDC_PREV_ROW, &CViewerDlg::OnPrevRow)
ON_BN_CLICKED(IDC_NEXT_ROW, &CViewerDlg::OnNextRow)
ON_WM_TIMER()
ON_WM_CLOSE()
ON_WM_LBUTTONDOWN()
ON_EN_CHANGE(IDC_ROW, &CViewerDlg::OnChangeRow)
ON_BN_CLICKED(IDC_ATTACK_MODE, &CViewerDlg::OnAttackMode)
ON_BN_CLICKED(IDC_EFFECTS_MODE, &CViewerDlg::OnEffectsMode)
ON_WM_DROPFILES()
END_MESSAGE_MAP()

CViewerDlg::CViewerDlg(CWnd* pParent)
    : CDialog(IDD, pParent), m_nRow(0), m_rcRowStrip{}, m_rcRowFrame{}, m_rcStage{}, m_rcCloseUp{},
      m_nThrowState(THROW_IDLE), m_nTicks(0), m_nMode(MODE_ATTACK), m_nPickedFrame(0),
      m_dwThrowStart(0), m_bIgnoreRowChange(FALSE) {
    m_hIcon = ::LoadIcon(AfxGetResourceHandle(), MAKEINTRESOURCE(IDR_MAINFRAME));
}

CViewerDlg::~CViewerDlg() = default;

void CViewerDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_INFO, m_InfoLine);
    DDX_Control(pDX, IDC_ROW, m_RowEdit);
    DDX_Control(pDX, IDC_FPS_X2, m_FpsX2Check);
    DDX_Control(pDX, IDC_SMEAR, m_SmearCheck);
    DDX_Control(pDX, IDC_FAST_THROW, m_FastThrowCheck);
    DDX_Control(pDX, IDC_CLOSEUP_FRAME, m_CloseUpFrame);
    DDX_Control(pDX, IDC_STAGE_FRAME, m_StageFrame);
    DDX_Control(pDX, IDC_ROW_FRAME, m_RowStripFrame);
    DDX_Control(pDX, IDC_FOLDER, m_FolderEdit);
    DDX_Control(pDX, IDC_LOOP_FRAMES, m_LoopFramesCheck);
    DDX_Control(pDX, IDC_CONTINUOUSLY, m_ContinuouslyCheck);
    DDX_Control(pDX, IDC_THROW_IN_ARC, m_ThrowInArcCheck);
}

BOOL CViewerDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    if (CMenu* pSysMenu = GetSystemMenu(FALSE)) {
        char szAbout[256];
        if (LoadString(AfxGetResourceHandle(), IDS_ABOUTBOX, szAbout, sizeof(szAbout)) > 0) {
            pSysMenu->AppendMenu(MF_SEPARATOR);
            pSysMenu->AppendMenu(MF_STRING, IDM_ABOUTBOX, szAbout);
        }
    }

    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);

    m_FolderEdit.SetWindowText(ReadFolderSetting());

    m_bIgnoreRowChange = FALSE;
    m_nMode = MODE_ATTACK;
    m_nRow = 0;
    SelectRow(0);
    // Writes the folder just read back to the settings and reads the sheet again.
    OnReload();

    m_nThrowState = THROW_IDLE;
    m_nTicks = 0;
    m_nPickedFrame = 0;

    // Neither mode radio is checked at start, although the mode is attack.
    m_LoopFramesCheck.SendMessage(BM_SETCHECK, BST_CHECKED);

    SetTimer(kAnimationTimer, kAnimationMs, nullptr);
    DragAcceptFiles();
    // A drag of nothing that names a sheet is refused as it enters.
    DragAcceptFilesIf(
        [](LPCTSTR lpszPath) -> BOOL { return SheetFromDroppedPath(lpszPath).has_value(); });
    OpenStartPath();
    return TRUE;
}

void CViewerDlg::OpenOnStart(const std::string& strPath) {
    m_strStartPath = strPath;
}

void CViewerDlg::OpenStartPath() {
    if (m_strStartPath.empty())
        return;
    if (std::optional<DroppedSheet> sheet = SheetFromDroppedPath(m_strStartPath)) {
        ShowDroppedSheet(*sheet);
        return;
    }
    m_FolderEdit.SetWindowText(m_strStartPath.c_str());
    OnReload();
}

void CViewerDlg::SelectRow(int nRow) {
    m_nRow = nRow;

    char szRow[kRowTextChars];
    m_RowEdit.GetWindowText(szRow, sizeof(szRow));
    if (RowNumberFromText(szRow) != m_nRow) {
        // The edit's change notification for this write must not select a row again.
        m_bIgnoreRowChange = TRUE;
        CString strRow;
        strRow.Format("%d", m_nRow);
        m_RowEdit.SetWindowText(strRow);
    }

    char szFolder[kFolderTextChars];
    m_FolderEdit.GetWindowText(szFolder, sizeof(szFolder));
    CString strFile = SheetFileName(m_nMode, m_nRow);
    CString strPath = SheetPath(szFolder, strFile);
    m_InfoLine.SetWindowText(SheetInfoLine(m_nRow, strFile));

    // A sheet that cannot be read leaves the previous one in place, and the row strip says
    // why instead of showing it.
    NoteSheetLoad(m_Sheet.Load(strPath, nullptr) ? SheetLoad::Loaded : SheetLoad::Failed, strPath);
    WatchSheet(strPath);
}

void CViewerDlg::NoteSheetLoad(SheetLoad result, const CString& strPath) {
    switch (result) {
    case SheetLoad::Loaded:
        m_LoadFailure.reset();
        break;
    case SheetLoad::Incomplete:
        m_LoadFailure = SaveUnderWay();
        break;
    case SheetLoad::Failed:
        m_LoadFailure = DiagnoseLoadFailure(strPath, m_nMode);
        break;
    }
}

void CViewerDlg::WatchSheet(const CString& strPath) {
    if (!m_pSheetWatcher)
        m_pSheetWatcher = std::make_unique<SheetWatcher>(
            [this] { return QString::fromStdString(AfxResolvePath(m_strWatchedPath)); },
            [this] { return ReloadWatchedSheet(); });
    m_strWatchedPath = strPath;
    m_pSheetWatcher->Watch();
}

SheetLoad CViewerDlg::ReloadWatchedSheet() {
    // Read aside and take the picture only from a whole file, so that a save caught
    // half-written never shows; the writes that finish it bring the watcher back.
    CDIB fresh;
    const SheetLoad result = LoadCompleteSheet(fresh, m_strWatchedPath, nullptr);
    if (result == SheetLoad::Loaded)
        m_Sheet.Swap(fresh);
    // A save caught half-way keeps a good picture on show; only a reason shown in its place is
    // brought up to date with it.
    if (result != SheetLoad::Incomplete || m_LoadFailure) {
        NoteSheetLoad(result, m_strWatchedPath);
        InvalidateRect(&m_rcRowFrame, FALSE);
    }
    return result;
}

void CViewerDlg::OnReload() {
    // One character more than is saved tells a longer folder, which is written back only
    // when read whole: cut, it would be a folder nobody typed (a stored one, read at start).
    char szFolder[kSavedFolderChars + 1];
    m_FolderEdit.GetWindowText(szFolder, sizeof(szFolder));
    if (strlen(szFolder) < (size_t)kSavedFolderChars)
        WriteFolderSetting(szFolder);
    SelectRow(m_nRow);
    InvalidateRect(&m_rcRowFrame, FALSE);
}

void CViewerDlg::OnPrevRow() {
    int n = m_nRow - 1;
    if (n <= 0)
        n = 0;
    SelectRow(n);
    InvalidateRect(&m_rcRowFrame, TRUE);
}

void CViewerDlg::OnNextRow() {
    int n = m_nRow + 1;
    if (n >= kLastRow)
        n = kLastRow;
    SelectRow(n);
    InvalidateRect(&m_rcRowFrame, TRUE);
}

void CViewerDlg::OnChangeRow() {
    if (m_bIgnoreRowChange) {
        m_bIgnoreRowChange = FALSE;
        return;
    }
    char szRow[kRowTextChars];
    m_RowEdit.GetWindowText(szRow, sizeof(szRow));
    int n = RowNumberFromText(szRow);
    m_nRow = n;
    if (n >= kLastRow)
        n = kLastRow;
    if (n <= 0)
        n = 0;
    SelectRow(n);
    InvalidateRect(&m_rcRowFrame, TRUE);
}

void CViewerDlg::OnAttackMode() {
    m_nMode = MODE_ATTACK;
    SelectRow(m_nRow);
    InvalidateRect(&m_rcRowFrame, TRUE);
    InvalidateRect(nullptr, TRUE);
}

void CViewerDlg::OnEffectsMode() {
    m_nMode = MODE_EFFECTS;
    SelectRow(m_nRow);
    InvalidateRect(&m_rcRowFrame, TRUE);
    InvalidateRect(nullptr, TRUE);
}

void CViewerDlg::OnDropFiles(HDROP hDropInfo) {
    const UINT nFiles = DragQueryFile(hDropInfo, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < nFiles; ++i) {
        std::string path(DragQueryFile(hDropInfo, i, nullptr, 0), '\0');
        DragQueryFile(hDropInfo, i, path.data(), (UINT)path.size() + 1);
        if (std::optional<DroppedSheet> sheet = SheetFromDroppedPath(path)) {
            ShowDroppedSheet(*sheet);
            break;
        }
    }
    DragFinish(hDropInfo);
}

// The folder, the mode radio, the row and "Reload File Now", each as the user would set it,
// so that the reload saves the folder and reads the sheet.
void CViewerDlg::ShowDroppedSheet(const DroppedSheet& sheet) {
    m_FolderEdit.SetWindowText(sheet.folder.c_str());
    if (CWnd* pRadio = GetDlgItem(sheet.nMode == MODE_EFFECTS ? IDC_EFFECTS_MODE : IDC_ATTACK_MODE))
        pRadio->SendMessage(BM_CLICK);
    CString strRow;
    strRow.Format("%d", sheet.nFirstRow);
    m_RowEdit.SetWindowText(strRow);
    OnReload();
}

void CViewerDlg::OnSysCommand(UINT nID, LPARAM lParam) {
    if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg dlgAbout;
        dlgAbout.DoModal();
        return;
    }
    CDialog::OnSysCommand(nID, lParam);
}

HCURSOR CViewerDlg::OnQueryDragIcon() {
    return static_cast<HCURSOR>(m_hIcon);
}

void CViewerDlg::OnClose() {
    CDialog::OnClose();
}

void CViewerDlg::OnCancel() {
    CDialog::OnCancel();
}
