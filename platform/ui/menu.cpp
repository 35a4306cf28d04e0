#include "ui_internal.h"

#include <QAction>
#include <QMenu>

namespace {

QMenu* AsMenu(HMENU hMenu) {
    return reinterpret_cast<QMenu*>(hMenu);
}

} // namespace

BOOL CMenu::AppendMenu(UINT nFlags, UINT_PTR nIDNewItem, LPCTSTR lpszNewItem) {
    QMenu* menu = AsMenu(m_hMenu);
    if (!menu)
        return FALSE;
    if (nFlags & MF_SEPARATOR) {
        menu->addSeparator();
        return TRUE;
    }
    QAction* action = menu->addAction(ui::FromAfx(lpszNewItem));
    action->setData((uint)nIDNewItem);
    return TRUE;
}
