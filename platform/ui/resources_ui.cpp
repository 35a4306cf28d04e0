#include "afxqt.h"
#include "ui_internal.h"

#include "resources.h"

#include <QPixmap>

#include <map>

namespace {

// The object behind an HICON: the icon group it was loaded from. Pixmaps are made when
// drawn, so nothing of Qt outlives the application.
struct IconObject {
    const IconGroup* m_group;
};

// The one module's handle: only its address matters.
char g_module;

IconObject* AsIcon(HICON hIcon) {
    return reinterpret_cast<IconObject*>(hIcon);
}

} // namespace

HINSTANCE AfxGetResourceHandle() {
    return reinterpret_cast<HINSTANCE>(&g_module);
}

HICON LoadIcon(HINSTANCE hInstance, LPCTSTR lpIconName) {
    if (!hInstance || !IS_INTRESOURCE(lpIconName))
        return nullptr;
    UINT nID = (UINT)(uintptr_t)lpIconName;
    const IconGroup* group = ResFindIconGroup(nID);
    if (!group)
        return nullptr;
    static std::map<UINT, IconObject> s_icons;
    IconObject& icon = s_icons.try_emplace(nID, IconObject{group}).first->second;
    return reinterpret_cast<HICON>(&icon);
}

int LoadString(HINSTANCE hInstance, UINT uID, LPTSTR lpBuffer, int cchBufferMax) {
    LPCTSTR text = hInstance ? ResFindString(uID) : nullptr;
    return text ? ui::CopyText(ui::FromAfx(text), lpBuffer, cchBufferMax) : 0;
}

int GetSystemMetrics(int nIndex) {
    switch (nIndex) {
    case SM_CXICON:
    case SM_CYICON:
        return 32;
    default:
        return 0;
    }
}

namespace ui {

QIcon IconFromHandle(HICON hIcon) {
    QIcon icon;
    IconObject* object = AsIcon(hIcon);
    if (!object)
        return icon;
    for (int i = 0; i < object->m_group->nImages; ++i)
        icon.addPixmap(QPixmap(object->m_group->pImages[i].xpm));
    return icon;
}

// The group's image nearest in size at or above nSize (else its largest), brought to nSize x
// dpr device pixels by repeating pixels, never by smoothing: icons stay as crisp as sprites.
QPixmap IconPixmap(HICON hIcon, int nSize, qreal dpr) {
    IconObject* object = AsIcon(hIcon);
    if (!object || nSize <= 0 || object->m_group->nImages <= 0)
        return QPixmap();
    const IconImage* best = &object->m_group->pImages[0];
    for (int i = 1; i < object->m_group->nImages; ++i) {
        const IconImage& image = object->m_group->pImages[i];
        const bool fits = image.nSize >= nSize;
        const bool bestFits = best->nSize >= nSize;
        if ((fits && (!bestFits || image.nSize < best->nSize)) ||
            (!fits && !bestFits && image.nSize > best->nSize))
            best = &image;
    }
    const int pixels = qRound(nSize * (dpr > 0 ? dpr : 1.0));
    QPixmap pixmap =
        QPixmap(best->xpm).scaled(pixels, pixels, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    pixmap.setDevicePixelRatio((qreal)pixels / nSize);
    return pixmap;
}

} // namespace ui

QIcon AfxIconFromHandle(HICON hIcon) {
    return ui::IconFromHandle(hIcon);
}
