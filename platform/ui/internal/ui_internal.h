// What lies behind the window handles: Qt widgets. Private to the platform's window side.
#pragma once

#include "afxqt.h"

#include <QByteArray>
#include <QPixmap>
#include <QSettings>
#include <QString>

#include <string>

namespace ui {

class DialogWidget;

DialogWidget* AsDialog(HWND hWnd);

// Text crosses between the framework's 8-bit strings and Qt as UTF-8.
inline QString FromAfx(LPCTSTR psz) {
    return QString::fromUtf8(psz ? psz : "");
}
inline QByteArray ToAfx(const QString& s) {
    return s.toUtf8();
}
// Copies at most cchMax - 1 bytes and a terminator, never splitting a character.
int CopyText(const QString& text, LPTSTR lpBuffer, int cchMax);

// The control id a dialog gave a control; IDC_STATIC (-1) for the unnamed ones.
int ControlId(const QWidget* widget);
void SetControlId(QWidget* widget, int nID);

// What every kind of window does with text and check messages.
LRESULT CommonWindowProc(QWidget* widget, UINT message, WPARAM wParam, LPARAM lParam);
// A control's WM_COMMAND notification to its dialog.
void NotifyParent(QWidget* control, UINT nCode);

void SetControlText(QWidget* widget, const QString& text);
// What a static shows of its text: "&x" underlines x, "&&" is one ampersand.
QString StripMnemonics(const QString& text);

// The icon at nSize x nSize logical pixels for a device of that pixel ratio.
QPixmap IconPixmap(HICON hIcon, int nSize, qreal dpr = 1.0);

// The settings file's format: "key=value" lines whose value is kept exactly as typed.
QSettings::Format ProfileFormat();
// Whether the settings store may open path: a regular file of a settings file's size, or
// none yet. Anything else is left alone, neither read nor written.
bool IsProfileFileUsable(const std::string& path);

} // namespace ui
