#include "load_failure.h"

#include "afxqt.h"
#include "sheet.h"
#include "viewer_dlg.h"

#include <QFontMetrics>
#include <QPainter>
#include <QWidget>

namespace {

// Room left free between the line and the edges of the row-strip frame.
constexpr int kStripTextMargin = 6;

QRect StripTextRect(const RECT& frame) {
    return QRect(QPoint(frame.left, frame.top), QPoint(frame.right - 1, frame.bottom - 1))
        .adjusted(kStripTextMargin, 0, -kStripTextMargin, 0);
}

} // namespace

std::optional<sheetdiag::Diagnosis> DiagnoseLoadFailure(LPCTSTR lpszPath, int nMode) {
    const SheetGeometry geometry = GetSheetGeometry(nMode);
    return sheetdiag::DiagnoseSheetFile(lpszPath, geometry.framesPerRow * geometry.cellSize,
                                        kRowsPerFile * geometry.cellSize);
}

sheetdiag::Diagnosis SaveUnderWay() {
    return {"the file is still being saved: the viewer shows it once the save is complete",
            "let the save finish, or save the sheet again if it was stopped", "save not finished"};
}

QString LoadFailureLine(const sheetdiag::Diagnosis& why, const QFont& font, int nWidth) {
    const QFontMetrics metrics(font);
    const QString whole = QString::fromStdString(sheetdiag::LongForm(why));
    if (metrics.horizontalAdvance(whole) <= nWidth)
        return whole;
    const QString brief = QString::fromStdString(sheetdiag::ShortForm(why) + ". Fix: " + why.fix);
    return metrics.elidedText(brief, Qt::ElideRight, nWidth);
}

QString CViewerDlg::LoadFailureText() const {
    const QWidget* window = AfxWidgetFromHandle(GetSafeHwnd());
    if (!m_LoadFailure || !window)
        return QString();
    return LoadFailureLine(*m_LoadFailure, window->font(), StripTextRect(m_rcRowFrame).width());
}

// Drawn over the frame's black fill, in the dialog's own font, where the strip would be.
void CViewerDlg::PaintLoadFailure(CDC* pDC) {
    QPainter* painter = GetDCPainter(pDC->GetSafeHdc());
    const QWidget* window = AfxWidgetFromHandle(GetSafeHwnd());
    if (!painter || !window)
        return;
    painter->save();
    painter->setFont(window->font());
    painter->setPen(Qt::white);
    painter->drawText(StripTextRect(m_rcRowFrame), Qt::AlignCenter | Qt::TextSingleLine,
                      LoadFailureText());
    painter->restore();
}
