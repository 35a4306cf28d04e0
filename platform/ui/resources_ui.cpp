#include "afxqt.h"
#include "ui_internal.h"

#include <QPixmap>

#include <algorithm>
#include <utility>

namespace {

// The one module's handle: only its address matters.
char g_module;

const ResourceTable* g_pResources = nullptr;

// An HICON is the icon group it was loaded from, which lives as long as the program. Pixmaps
// are made when drawn, so nothing of Qt outlives the application.
const IconGroup* AsIcon(HICON hIcon) {
    return reinterpret_cast<const IconGroup*>(hIcon);
}

} // namespace

const ResourceTable* AfxSetResourceTable(const ResourceTable* pTable) {
    return std::exchange(g_pResources, pTable);
}

HINSTANCE AfxGetResourceHandle() {
    return reinterpret_cast<HINSTANCE>(&g_module);
}

HICON LoadIcon(HINSTANCE hInstance, LPCTSTR lpIconName) {
    if (!hInstance || !IS_INTRESOURCE(lpIconName))
        return nullptr;
    const IconGroup* group =
        g_pResources ? g_pResources->pfnFindIconGroup((UINT)(uintptr_t)lpIconName) : nullptr;
    return reinterpret_cast<HICON>(const_cast<IconGroup*>(group));
}

int LoadString(HINSTANCE hInstance, UINT uID, LPTSTR lpBuffer, int cchBufferMax) {
    LPCTSTR text = hInstance && g_pResources ? g_pResources->pfnFindString(uID) : nullptr;
    return text ? ui::CopyText(ui::FromAfx(text), lpBuffer, cchBufferMax) : 0;
}

int GetSystemMetrics(int nIndex) {
    return nIndex == SM_CXICON || nIndex == SM_CYICON ? 32 : 0;
}

QIcon AfxIconFromHandle(HICON hIcon) {
    QIcon icon;
    const IconGroup* group = AsIcon(hIcon);
    for (int i = 0; group && i < group->nImages; ++i)
        icon.addPixmap(QPixmap(group->pImages[i].xpm));
    return icon;
}

namespace ui {

const DialogTemplate* FindDialogResource(UINT nID) {
    return g_pResources ? g_pResources->pfnFindDialog(nID) : nullptr;
}

const VersionResource* FindVersionResource() {
    return g_pResources ? g_pResources->pfnFindVersion() : nullptr;
}

// The group's image nearest in size at or above nSize (else its largest), brought to nSize x
// dpr device pixels by repeating pixels, never by smoothing: icons stay as crisp as sprites.
QPixmap IconPixmap(HICON hIcon, int nSize, qreal dpr) {
    const IconGroup* group = AsIcon(hIcon);
    if (!group || nSize <= 0 || group->nImages <= 0)
        return QPixmap();
    // Images that fit rank first, the smallest of them first; then the others, largest first.
    auto rank = [nSize](const IconImage& image) {
        return image.nSize >= nSize ? std::pair(0, image.nSize) : std::pair(1, -image.nSize);
    };
    const IconImage* best = std::min_element(
        group->pImages, group->pImages + group->nImages,
        [&rank](const IconImage& a, const IconImage& b) { return rank(a) < rank(b); });
    const int pixels = qRound(nSize * (dpr > 0 ? dpr : 1.0));
    QPixmap pixmap =
        QPixmap(best->xpm).scaled(pixels, pixels, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    pixmap.setDevicePixelRatio((qreal)pixels / nSize);
    return pixmap;
}

} // namespace ui
