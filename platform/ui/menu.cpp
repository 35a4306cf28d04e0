#include "ui_internal.h"

#include <QAction>
#include <QMenu>

IMPLEMENT_DYNAMIC(CMenu, CObject)

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
    action->setEnabled((nFlags & (MF_GRAYED | MF_DISABLED)) == 0);
    return TRUE;
}

int CMenu::GetMenuItemCount() const {
    QMenu* menu = AsMenu(m_hMenu);
    return menu ? (int)menu->actions().size() : -1;
}

UINT CMenu::GetMenuItemID(int nPos) const {
    QMenu* menu = AsMenu(m_hMenu);
    if (!menu || nPos < 0 || nPos >= menu->actions().size())
        return (UINT)-1;
    QAction* action = menu->actions()[nPos];
    return action->isSeparator() ? 0 : action->data().toUInt();
}

int CMenu::GetMenuString(UINT nPos, CString& rString) const {
    QMenu* menu = AsMenu(m_hMenu);
    if (!menu || nPos >= (UINT)menu->actions().size()) {
        rString.Empty();
        return 0;
    }
    QByteArray text = ui::ToAfx(menu->actions()[(int)nPos]->text());
    rString = CString(text.toStdString());
    return (int)text.size();
}
