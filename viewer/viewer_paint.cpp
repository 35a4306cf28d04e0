// The viewer's animation: the clock, throws, frame picking, and the paint that turns the
// dialog's state into the row strip, the close-up and the stage.
#include "viewer_dlg.h"

#include <cmath>
#include <cstring>

namespace {

// Attack and effects throws alike are placed by the top-left corner of a 48-pixel cell.
constexpr int kSpriteOffset = 24;
constexpr int kSparkles = 50;
constexpr int kSparkleRadius = 50;

bool IsChecked(CButton& box) {
    return box.SendMessage(BM_GETCHECK) == BST_CHECKED;
}

// A frame control's rectangle in the dialog's client coordinates.
RECT FrameRect(const CWnd& dialog, const CWnd& frame) {
    RECT rc;
    frame.GetWindowRect(&rc);
    dialog.ScreenToClient(&rc);
    return rc;
}

DWORD ThrowDuration(int nMode, bool bFast) {
    DWORD d = nMode == MODE_EFFECTS ? 8000 : 2000;
    return bFast ? d >> 1 : d;
}

// Whether a bitmap's colour table is the one that these colours make.
bool HasColours(const CDIB& dib, CPalette* pColours) {
    RGBQUAD table[256];
    BuildColorTable(table, pColours);
    return memcmp(dib.m_pBMI->bmiColors, table, sizeof(table)) == 0;
}

} // namespace

void CViewerDlg::OnTimer(UINT nIDEvent) {
    InvalidateRect(&m_rcStage, FALSE);
    InvalidateRect(&m_rcCloseUp, FALSE);
    m_nTicks = (int)((unsigned)m_nTicks + 1u); // wraps after years instead of overflowing
    CDialog::OnTimer(nIDEvent);
}

void CViewerDlg::OnOK() {
    m_nThrowState = THROW_FLYING;
    m_dwThrowStart = GetTickCount();
}

void CViewerDlg::OnLButtonDown(UINT nFlags, CPoint point) {
    const int C = GetSheetGeometry(m_nMode).cellSize;
    if (PtInRect(&m_rcRowStrip, point))
        m_nPickedFrame = (point.x - m_rcRowStrip.left) / C;
    CDialog::OnLButtonDown(nFlags, point);
}

void CViewerDlg::PaintIconic() {
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, (WPARAM)dc.GetSafeHdc(), 0);
    int cxIcon = GetSystemMetrics(SM_CXICON);
    int cyIcon = GetSystemMetrics(SM_CYICON);
    CRect rect;
    GetClientRect(&rect);
    int x = (rect.Width() - cxIcon + 1) / 2;
    int y = (rect.Height() - cyIcon + 1) / 2;
    DrawIcon(dc.GetSafeHdc(), x, y, m_hIcon);
}

// Names of the painting rules: C cell size, F frames a row, A close-up frame, S stage frame,
// K key index, W x H stage size, D throw duration.
void CViewerDlg::OnPaint() {
    if (IsIconic()) {
        PaintIconic();
        return;
    }
    CPaintDC dc(this);
    const PaintFrame frame = WorkOutFrame();
    const bool bLoaded = m_Sheet.m_pBMI && m_Sheet.m_pBits;
    DrawRowStrip(&dc, frame, bLoaded);
    DrawCloseUp(&dc, frame, bLoaded);
    if (bLoaded && !frame.bThrowEnded)
        ComposeStage(&dc, m_rcStage, frame.r, frame.S, frame.x, frame.y);
    Default();
}

// The pictures' places come from their frame controls, so that they follow the layout.
CViewerDlg::PaintFrame CViewerDlg::WorkOutFrame() {
    PaintFrame frame;
    const SheetGeometry geometry = GetSheetGeometry(m_nMode);
    const int C = geometry.cellSize, F = geometry.framesPerRow;

    // The row strip: the whole row, centred in its frame.
    const RECT rowFrame = FrameRect(*this, m_RowStripFrame);
    const LONG left = rowFrame.left + (rowFrame.right - rowFrame.left - F * C) / 2;
    const LONG top = rowFrame.top + (rowFrame.bottom - C - rowFrame.top) / 2;
    m_rcRowStrip = RECT{left, top, left + F * C, top + C};
    m_rcRowFrame = rowFrame;
    if (m_nRow >= kLastRow)
        m_nRow = kLastRow;
    if (m_nRow <= 0)
        m_nRow = 0;
    frame.r = m_nRow % kRowsPerFile;

    // The close-up: the current frame's sprite, centred in its frame.
    RECT closeUp = FrameRect(*this, m_CloseUpFrame);
    InflateRect(&closeUp, -((closeUp.right - C - closeUp.left) / 2),
                -((closeUp.bottom - C - closeUp.top) / 2));
    m_rcCloseUp = closeUp;
    int ticks = m_nTicks;
    if (!IsChecked(m_FpsX2Check))
        ticks /= 2;
    frame.A = ticks % F;
    if (m_nMode == MODE_ATTACK)
        frame.A = F - frame.A - 1;

    m_rcStage = FrameRect(*this, m_StageFrame);
    PlaceStageSprite(frame);
    return frame;
}

// Where the sprite stands or flies on the stage and which frame it shows; a throw whose time
// is up ends here (and starts again when "Continuously" is checked).
void CViewerDlg::PlaceStageSprite(PaintFrame& frame) {
    const int F = GetSheetGeometry(m_nMode).framesPerRow;
    const DWORD D = ThrowDuration(m_nMode, IsChecked(m_FastThrowCheck));
    const RECT& stage = m_rcStage;
    const int W = stage.right - stage.left, H = stage.bottom - stage.top;
    int x = W / 2, y = H / 2;
    frame.S = frame.A;
    if (m_nThrowState == THROW_IDLE) {
        frame.S = m_nPickedFrame;
    } else if (m_nThrowState == THROW_FLYING) {
        const DWORD e = GetTickCount() - m_dwThrowStart;
        if (e >= D) {
            m_nThrowState = THROW_IDLE;
            frame.bThrowEnded = true;
            if (IsChecked(m_ContinuouslyCheck))
                OnOK();
        } else {
            // R and T are the frame's edges in client coordinates, used as bitmap
            // coordinates: the artist knows the throw's path as it has always run.
            const int travel = (W * 80) / 100;
            const DWORD step = ((DWORD)travel * e) / D;
            x = (int)((DWORD)(stage.right - travel / 10) - step);
            if (IsChecked(m_ThrowInArcCheck)) {
                double lift = std::sin(((double)e / (double)D) * 3.14159) * H * 0.8 + 0.2;
                y = stage.top - (int)std::trunc(lift);
            }
            if (m_nMode == MODE_ATTACK && !IsChecked(m_LoopFramesCheck))
                frame.S = (int)((DWORD)F - ((DWORD)F * e) / D - 1);
        }
    }
    frame.x = x - kSpriteOffset;
    frame.y = y - kSpriteOffset;
}

void CViewerDlg::DrawRowStrip(CDC* pDC, const PaintFrame& frame, bool bLoaded) {
    const RECT rowSource = SheetRowRect(m_nMode, frame.r);
    pDC->FillSolidRect(&m_rcRowFrame, 0);
    // A row whose file did not load shows why, not what the sheet holds from an earlier file.
    if (m_LoadFailure)
        PaintLoadFailure(pDC);
    else if (bLoaded)
        m_Sheet.Draw(pDC, &m_rcRowStrip, &rowSource);
}

void CViewerDlg::DrawCloseUp(CDC* pDC, const PaintFrame& frame, bool bLoaded) {
    const RECT closeSource = SheetSpriteRect(m_nMode, frame.r, frame.A);
    RECT closeDest = m_rcCloseUp;
    closeDest.left += 1;
    closeDest.top += 1;
    if (bLoaded)
        m_Sheet.Draw(pDC, &closeDest, &closeSource);
}

void CViewerDlg::ComposeStage(CDC* pDC, const RECT& stage, int r, int S, int x, int y) {
    const int W = stage.right - stage.left, H = stage.bottom - stage.top;
    const int K = SheetKeyIndex(m_Sheet);
    const bool bPresent = m_Stage.m_pBMI && m_Stage.m_pBits;
    // The stage takes the sheet's own colours, so that a thrown sprite looks as it does in
    // the row strip. A trail is kept only while the sheet's colours and key stay those the
    // stage was made with: otherwise the new sprite would show in the old colours, on the old
    // sheet's background.
    CPalette sheetColours;
    BuildPalette(m_Sheet.m_pBMI, nullptr, &sheetColours);
    const bool bKeep = bPresent && IsChecked(m_SmearCheck) && K == m_nStageKey &&
                       HasColours(m_Stage, &sheetColours);
    if (!bKeep) {
        m_Stage.Create(W, H, K, &sheetColours);
        m_nStageKey = K;
    }
    if (!m_Stage.m_pBMI || !m_Stage.m_pBits)
        return;

    if (m_nMode == MODE_EFFECTS && m_nThrowState == THROW_FLYING) {
        const int framesPerRow = GetSheetGeometry(m_nMode).framesPerRow;
        const double t = (double)GetTickCount();
        const double a = t * 0.000125;
        const double b = a * 13;
        for (int i = 0; i < kSparkles; ++i) {
            const int k = (i + 11) % 20;
            const int px = x + (int)std::trunc(std::cos(i * 0.5 + k * a) * kSparkleRadius);
            const int py = y + (int)std::trunc(std::sin(i * 0.5 + b) * kSparkleRadius);
            const RECT cell = SheetSpriteRect(m_nMode, r, (S + i) % framesPerRow);
            m_Stage.BlitKeyed(&m_Sheet, px, py, &cell, K, BLIT_KEYED, FALSE);
        }
    } else {
        const RECT cell = SheetSpriteRect(m_nMode, r, S);
        m_Stage.BlitKeyed(&m_Sheet, x, y, &cell, K, BLIT_KEYED, FALSE);
    }
    m_Stage.Draw(pDC, &stage, nullptr);
}
