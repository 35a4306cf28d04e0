#include "ui_internal.h"

#include <QAction>
#include <QMenu>

BOOL CMenu::AppendMenu(UINT nFlags, UINT_PTR nIDNewItem, LPCTSTR lpszNewItem) {
    auto* menu = reinterpret_cast<QMenu*>(m_hMenu);
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
