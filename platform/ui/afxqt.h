// Where a window meets Qt: the window side itself, and tests and tools that look at what a
// window shows.
#pragma once

#include "afxwin.h"

#include <QIcon>

class QWidget;

// The widget behind a window handle (null once the widget is destroyed), and the handle of a
// widget.
QWidget* AfxWidgetFromHandle(HWND hWnd);
HWND AfxHandleFromWidget(QWidget* widget);
// The picture behind an icon handle.
QIcon AfxIconFromHandle(HICON hIcon);
