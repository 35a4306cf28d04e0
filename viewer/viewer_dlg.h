// CViewerDlg: the program's one window, a modal dialog that holds the viewer's state, owns
// its controls and the sheet and stage bitmaps, and keeps the art folder in the settings.
#pragma once

#include "afxwin.h"
#include "dib.h"
#include "resource.h"
#include "sheet.h"
#include "sheet_diagnosis.h"
#include "sheet_watcher.h"

#include <QString>

#include <memory>
#include <optional>
#include <string>

enum { THROW_IDLE = 0, THROW_FLYING = 1 };

// The timer that animates the close-up and the stage, and its period.
constexpr UINT kAnimationTimer = 2;
constexpr UINT kAnimationMs = 50;

// The value a row text stands for: leading blanks, a sign and digits, as atoi reads them,
// but held at the int range instead of wrapping.
int RowNumberFromText(LPCTSTR lpszText);

class CViewerDlg : public CDialog {
public:
    explicit CViewerDlg(CWnd* pParent = nullptr);
    ~CViewerDlg() override;

    enum { IDD = IDD_VIEWER };

    // A path to open once the dialog is up: a sheet file as its drop would, anything else as
    // a folder typed into the folder edit and reloaded. Called before DoModal.
    void OpenOnStart(const std::string& strPath);

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

    afx_msg void OnSysCommand(UINT nID, LPARAM lParam);
    afx_msg void OnPaint();
    afx_msg HCURSOR OnQueryDragIcon();
    afx_msg void OnReload();
    afx_msg void OnPrevRow();
    afx_msg void OnNextRow();
    afx_msg void OnTimer(UINT nIDEvent);
    afx_msg void OnClose();
    afx_msg void OnLButtonDown(UINT nFlags, CPoint point);
    afx_msg void OnChangeRow();
    afx_msg void OnAttackMode();
    afx_msg void OnEffectsMode();
    // A sheet dropped from a file manager: what the user would do by hand to show it.
    afx_msg void OnDropFiles(HDROP hDropInfo);

    DECLARE_MESSAGE_MAP()

private:
    // Programs that run the dialog offscreen read its state, and set its tick counter,
    // through the driver alone.
    friend class ViewerDriver;

    // Shows row nRow (already within 0..199): the row edit, the information line and the
    // sheet read from the folder as typed. Invalidates nothing.
    void SelectRow(int nRow);

    // The shown sheet is re-read when the artist saves it: same path, no folder read, no
    // setting written, nothing else of the state touched.
    void WatchSheet(const CString& strPath);
    SheetLoad ReloadWatchedSheet();

    void ShowDroppedSheet(const DroppedSheet& sheet);
    void OpenStartPath();

    // Keeps why the file of the row on show did not load, or forgets it once a sheet loaded:
    // the diagnosis is made here, once per failed load, never by a paint.
    void NoteSheetLoad(SheetLoad result, const CString& strPath);
    // The row strip's line about the failed load, fitted to the strip frame; empty while the
    // strip shows the sheet.
    QString LoadFailureText() const;
    void PaintLoadFailure(CDC* pDC);

    // What one paint shows: the row in its file r, the close-up's frame A, and the stage
    // sprite's frame S at (x, y) in stage coordinates, unless the throw ended in this paint.
    struct PaintFrame {
        int r = 0;
        int A = 0;
        int S = 0;
        int x = 0;
        int y = 0;
        bool bThrowEnded = false;
    };

    void PaintIconic();
    // The paint in its order: first what the frame is (the pictures' places, the row, the
    // frames shown, the throw's progress), then the drawing.
    PaintFrame WorkOutFrame();
    void PlaceStageSprite(PaintFrame& frame);
    void DrawRowStrip(CDC* pDC, const PaintFrame& frame, bool bLoaded);
    void DrawCloseUp(CDC* pDC, const PaintFrame& frame, bool bLoaded);
    // Composes the stage off screen (unless "Smear" keeps it) and draws it in one copy.
    void ComposeStage(CDC* pDC, const RECT& stage, int r, int S, int x, int y);

    CDIB m_Sheet;
    CDIB m_Stage;
    int m_nRow;
    RECT m_rcRowStrip;
    RECT m_rcRowFrame;
    RECT m_rcStage;
    RECT m_rcCloseUp;
    int m_nThrowState;
    int m_nTicks;
    int m_nMode;
    int m_nPickedFrame;
    DWORD m_dwThrowStart;
    BOOL m_bIgnoreRowChange;
    CStatic m_InfoLine;
    CEdit m_RowEdit;
    CButton m_FpsX2Check;
    CButton m_SmearCheck;
    CButton m_FastThrowCheck;
    CStatic m_CloseUpFrame;
    CStatic m_StageFrame;
    CStatic m_RowStripFrame;
    CEdit m_FolderEdit;
    CButton m_LoopFramesCheck;
    CButton m_ContinuouslyCheck;
    CButton m_ThrowInArcCheck;
    HICON m_hIcon;

    std::string m_strStartPath;
    CString m_strWatchedPath;
    std::unique_ptr<SheetWatcher> m_pSheetWatcher;
    // The key index the stage was filled with when it was made.
    int m_nStageKey = -1;
    // Why the file of the row on show did not load; nothing while its picture is on show.
    std::optional<sheetdiag::Diagnosis> m_LoadFailure;
};
