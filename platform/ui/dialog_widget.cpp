#include "dialog_widget.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QtMath>

#include <utility>

namespace ui {

namespace {

constexpr const char* kStyleProperty = "afxStyle";

// A template rectangle in dialog units, in pixels.
QRect DialogRectToPixels(short x, short y, short cx, short cy) {
    RECT rc = {x, y, x + cx, y + cy};
    AfxMapDialogRect(&rc);
    return QRect(rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top);
}

// The templates were laid out for an 8-point face with base units 6 x 13; Liberation Sans is
// wider, and at 15/16 of the template's size every text still fits its rectangle while the
// base units stay as they were.
QFont ControlFont(const DialogTemplate& dlgTemplate) {
    QFont font(QStringLiteral("Liberation Sans"));
    font.setStyleHint(QFont::SansSerif);
    int points =
        (dlgTemplate.dwStyle & DS_SETFONT) && dlgTemplate.wPointSize ? dlgTemplate.wPointSize : 8;
    font.setPointSizeF(points * 15.0 / 16.0);
    return font;
}

// A one-pixel frame along the edges of r: top and left in one colour, bottom and right (which
// take the corners they share with the others) in another.
void DrawEdge(QPainter& painter, const QRect& r, const QColor& topLeft, const QColor& bottomRight) {
    painter.fillRect(QRect(r.left(), r.top(), r.width() - 1, 1), topLeft);
    painter.fillRect(QRect(r.left(), r.top(), 1, r.height() - 1), topLeft);
    painter.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), bottomRight);
    painter.fillRect(QRect(r.right(), r.top(), 1, r.height()), bottomRight);
}

// A static frame or rectangle. It draws only its edges (or, for a rectangle, itself), so
// whatever the dialog paints inside a frame shows through.
class StaticShape : public QWidget {
public:
    StaticShape(DWORD dwStyle, QWidget* parent) : QWidget(parent), m_dwStyle(dwStyle) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        QRect r = rect();
        if (m_dwStyle & SS_SUNKEN) {
            DrawEdge(painter, r, palette().color(QPalette::Dark), palette().color(QPalette::Light));
            r.adjust(1, 1, -1, -1);
        }
        if ((m_dwStyle & SS_TYPEMASK) == SS_BLACKRECT)
            painter.fillRect(r, Qt::black);
        else if (!r.isEmpty())
            DrawEdge(painter, r, Qt::black, Qt::black);
    }

private:
    DWORD m_dwStyle;
};

// A group box as the original platform draws it: an etched frame whose top line runs through
// the middle of the caption, which sits 7 pixels in from the left edge on a strip of the
// dialog's background one pixel wider than the text on either side.
class GroupFrame : public QGroupBox {
public:
    GroupFrame(const QString& title, QWidget* parent) : QGroupBox(title, parent) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QFontMetrics metrics(font());
        QRect frame = rect();
        frame.setTop(metrics.height() / 2 - 1);
        DrawEtchedEdge(painter, frame);
        const QString caption = title();
        if (caption.isEmpty())
            return;
        const int textWidth = metrics.horizontalAdvance(StripMnemonics(caption));
        const QRect text(kCaptionIndent, -1, textWidth, metrics.height());
        painter.fillRect(text.adjusted(-1, 0, 1, 1), palette().color(QPalette::Window));
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(text, Qt::AlignLeft | Qt::AlignTop | Qt::TextShowMnemonic, caption);
    }

private:
    static constexpr int kCaptionIndent = 7;

    // A groove: a shadow frame with a light one inside it, each lit from the other side.
    void DrawEtchedEdge(QPainter& painter, const QRect& r) {
        const QColor shadow = palette().color(QPalette::Dark);
        const QColor light = palette().color(QPalette::Light);
        DrawEdge(painter, r, shadow, light);
        DrawEdge(painter, r.adjusted(1, 1, -1, -1), light, shadow);
    }
};

// An icon static takes the size of its icon, whatever its template says, and paints the icon
// at the pixel ratio of the device it paints on, so that a high-density screen shows it
// enlarged pixel by pixel.
class IconStatic : public QLabel {
public:
    IconStatic(HICON hIcon, int nSize, QWidget* parent)
        : QLabel(parent), m_hIcon(hIcon), m_nSize(nSize) {
        setFixedSize(nSize, nSize);
        setPixmap(IconPixmap(hIcon, nSize));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        // The device's pixel ratio is the painter's scale before any transform of ours.
        painter.drawPixmap(QPoint(0, 0),
                           IconPixmap(m_hIcon, m_nSize, painter.deviceTransform().m11()));
    }

private:
    HICON m_hIcon;
    int m_nSize;
};

DWORD StyleOf(const QWidget* widget) {
    return widget->property(kStyleProperty).toUInt();
}

} // namespace

DialogWidget::DialogWidget(const DialogTemplate& dlgTemplate, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    // The window keeps its last picture: only areas invalidated with erasing are filled.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setWindowTitle(FromAfx(dlgTemplate.lpszTitle));
    setFont(ControlFont(dlgTemplate));
    QRect client = DialogRectToPixels(0, 0, dlgTemplate.cx, dlgTemplate.cy);
    setFixedSize(client.size());
    for (int i = 0; i < dlgTemplate.nItems; ++i) {
        QWidget* control = CreateControl(dlgTemplate.pItems[i]);
        // The first control of a template lies on top, as on the original platform.
        control->lower();
        m_controls.push_back(control);
    }
    BuildSystemMenu();
}

QWidget* DialogWidget::Control(int nID) const {
    for (QWidget* control : m_controls)
        if (ControlId(control) == nID)
            return control;
    return nullptr;
}

QWidget* DialogWidget::CreateControl(const DialogItemTemplate& item) {
    QWidget* control = nullptr;
    switch (item.windowClass) {
    case ControlClass::Edit: {
        auto* edit = new QLineEdit(FromAfx(item.lpszText), this);
        edit->setFrame((item.dwStyle & WS_BORDER) != 0);
        control = edit;
        break;
    }
    case ControlClass::Button:
        control = CreateButton(item);
        break;
    case ControlClass::Static:
        control = CreateStatic(item);
        break;
    }
    SetControlId(control, item.nID);
    control->setProperty(kStyleProperty, (uint)item.dwStyle);
    control->setGeometry(DialogRectToPixels(item.x, item.y, item.cx, item.cy));
    if (control->focusPolicy() != Qt::NoFocus)
        control->setFocusPolicy((item.dwStyle & WS_TABSTOP) ? Qt::StrongFocus : Qt::ClickFocus);
    control->setEnabled((item.dwStyle & WS_DISABLED) == 0);
    if (!(item.dwStyle & WS_VISIBLE))
        control->hide();
    control->installEventFilter(this);
    ConnectNotifications(control);
    return control;
}

QWidget* DialogWidget::CreateButton(const DialogItemTemplate& item) {
    QString text = FromAfx(item.lpszText);
    switch (item.dwStyle & BS_TYPEMASK) {
    case BS_AUTOCHECKBOX:
        return new QCheckBox(text, this);
    case BS_AUTORADIOBUTTON:
        return new QRadioButton(text, this);
    case BS_GROUPBOX: {
        auto* group = new GroupFrame(text, this);
        group->setFocusPolicy(Qt::NoFocus);
        group->setAttribute(Qt::WA_TransparentForMouseEvents);
        return group;
    }
    default: {
        auto* button = new QPushButton(text, this);
        // Enter is the dialog's business (see HandleDialogKey); the default button only
        // looks the part.
        button->setAutoDefault(false);
        button->setDefault((item.dwStyle & BS_TYPEMASK) == BS_DEFPUSHBUTTON);
        return button;
    }
    }
}

QWidget* DialogWidget::CreateStatic(const DialogItemTemplate& item) {
    QWidget* control = nullptr;
    switch (item.dwStyle & SS_TYPEMASK) {
    case SS_ICON:
        control = new IconStatic(LoadIcon(AfxGetResourceHandle(), MAKEINTRESOURCE(item.nIconID)),
                                 GetSystemMetrics(SM_CXICON), this);
        break;
    case SS_BLACKFRAME:
    case SS_BLACKRECT:
        control = new StaticShape(item.dwStyle, this);
        break;
    default: {
        auto* label = new QLabel(this);
        label->setTextFormat(Qt::PlainText);
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        control = label;
        break;
    }
    }
    control->setProperty(kStyleProperty, (uint)item.dwStyle);
    if (item.lpszText)
        SetControlText(control, FromAfx(item.lpszText));
    control->setFocusPolicy(Qt::NoFocus);
    // Clicks on statics reach the dialog, as on the original platform.
    control->setAttribute(Qt::WA_TransparentForMouseEvents);
    return control;
}

void DialogWidget::ConnectNotifications(QWidget* control) {
    if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        connect(button, &QAbstractButton::clicked, this,
                [control] { NotifyParent(control, BN_CLICKED); });
    } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        // Typing notifies here; a change through WM_SETTEXT notifies from SetControlText.
        connect(edit, &QLineEdit::textEdited, this,
                [control] { NotifyParent(control, EN_CHANGE); });
    }
}

LRESULT DialogWidget::Send(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::SendMessage(Handle(), message, wParam, lParam);
}

void DialogWidget::Invalidate(const QRect& rect, bool bErase) {
    QRect r = rect.intersected(this->rect());
    if (r.isEmpty())
        return;
    if (bErase)
        m_erase += r;
    else
        m_keep += r;
    update(r);
}

// The dialog keeps its own picture, as a window of the original platform does: its paint
// handler runs only for what the program invalidated or the window system exposed. Qt also
// repaints a dialog under each of its controls whenever a control repaints itself (a hover,
// a press, a caret); those repaints are served from the kept picture.
void DialogWidget::paintEvent(QPaintEvent* event) {
    const qreal dpr = devicePixelRatioF();
    const QSize pixels(qCeil(width() * dpr), qCeil(height() * dpr));
    if (m_surface.size() != pixels || m_surface.devicePixelRatio() != dpr) {
        m_surface = QImage(pixels, QImage::Format_RGB32);
        m_surface.setDevicePixelRatio(dpr);
        m_surface.fill(palette().color(QPalette::Window));
        m_exposed = rect();
    }
    PaintInvalid(event->region() & (m_erase | m_keep | m_exposed));
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), m_surface);
}

void DialogWidget::PaintInvalid(const QRegion& region) {
    if (region.isEmpty())
        return;
    // Everything to be repainted is erased except what was invalidated without erasing only.
    QRegion erase = region - (m_keep - m_erase);
    m_keep -= region;
    m_erase -= region;
    m_exposed -= region;
    if (!erase.isEmpty()) {
        QPainter painter(&m_surface);
        painter.setClipRegion(erase);
        painter.fillRect(rect(), palette().color(QPalette::Window));
    }
    m_paintRegion = region;
    Send(WM_PAINT);
    m_paintRegion = QRegion();
}

void DialogWidget::Expose() {
    m_exposed = rect();
    update();
}

void DialogWidget::showEvent(QShowEvent* event) {
    Expose();
    QDialog::showEvent(event);
}

void DialogWidget::changeEvent(QEvent* event) {
    if (event->type() == QEvent::WindowStateChange &&
        (static_cast<QWindowStateChangeEvent*>(event)->oldState() & Qt::WindowMinimized) &&
        !isMinimized())
        Expose();
    QDialog::changeEvent(event);
}

bool DialogWidget::event(QEvent* event) {
    if (event->type() == QEvent::ScreenChangeInternal)
        Expose();
    return HandleFileDrag(event) || QDialog::event(event);
}

UINT_PTR DialogWidget::StartTimer(UINT_PTR nIDEvent, UINT nElapse) {
    // A start that fails would leave the id's old timer running.
    StopTimer(nIDEvent);
    QBasicTimer& timer = m_timers[nIDEvent];
    timer.start((int)std::min<UINT>(nElapse, 0x7FFFFFFF), Qt::PreciseTimer, this);
    if (timer.isActive())
        return nIDEvent;
    m_timers.erase(nIDEvent);
    return 0;
}

bool DialogWidget::StopTimer(UINT_PTR nIDEvent) {
    return m_timers.erase(nIDEvent) != 0;
}

void DialogWidget::timerEvent(QTimerEvent* event) {
    for (const auto& [nIDEvent, timer] : m_timers) {
        if (timer.timerId() == event->timerId()) {
            Send(WM_TIMER, nIDEvent, 0);
            return;
        }
    }
    QDialog::timerEvent(event);
}

void DialogWidget::mousePressEvent(QMouseEvent* event) {
    QPoint pos = event->position().toPoint();
    // A press that a control passed on is not a press on the dialog.
    if (childAt(pos)) {
        QDialog::mousePressEvent(event);
        return;
    }
    // The key state carries the left button only: nothing reads the others.
    if (event->button() == Qt::LeftButton)
        Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(pos.x(), pos.y()));
    else if (event->button() == Qt::RightButton)
        m_sysMenu->popup(event->globalPosition().toPoint());
}

// The right press itself opens the system menu (above); the context menu event that Qt makes
// of the same press must not open it again.
void DialogWidget::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
}

bool DialogWidget::HandleDialogKey(QKeyEvent* event) {
    Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    if (IsSystemMenuKey(event->key(), mods)) {
        m_sysMenu->popup(QCursor::pos());
        return true;
    }
    if (mods != Qt::NoModifier)
        return false;
    switch (event->key()) {
    case Qt::Key_Escape:
        Send(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter: {
        int nID = EnterCommandId();
        QWidget* button = Control(nID);
        if (button && !button->isEnabled())
            return true;
        Send(WM_COMMAND, MAKEWPARAM(nID, BN_CLICKED), (LPARAM)AfxHandleFromWidget(button));
        return true;
    }
    case Qt::Key_F1:
        Send(WM_COMMAND, MAKEWPARAM(ID_HELP, 0), 0);
        return true;
    default:
        return false;
    }
}

// Alt+Space opens the system menu wherever the focus is. Shift+F10 and the Menu key open it too
// where the focus is not on an edit, which opens its own menu with them: desktops whose window
// manager keeps Alt+Space for itself leave keyboard users no other way to the menu.
bool DialogWidget::IsSystemMenuKey(int key, Qt::KeyboardModifiers mods) const {
    if (key == Qt::Key_Space && mods == Qt::AltModifier)
        return true;
    const bool menuKey = (key == Qt::Key_F10 && mods == Qt::ShiftModifier) ||
                         (key == Qt::Key_Menu && mods == Qt::NoModifier);
    return menuKey && !qobject_cast<QLineEdit*>(focusWidget());
}

// A focused push button takes Enter; otherwise the default push button does, or IDOK.
int DialogWidget::EnterCommandId() const {
    QWidget* focus = focusWidget();
    if (qobject_cast<QPushButton*>(focus) && focus->parentWidget() == this)
        return ControlId(focus);
    for (QWidget* control : m_controls)
        if (qobject_cast<QPushButton*>(control) &&
            (StyleOf(control) & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
            return ControlId(control);
    return IDOK;
}

void DialogWidget::keyPressEvent(QKeyEvent* event) {
    if (!HandleDialogKey(event))
        QWidget::keyPressEvent(event);
}

// The dialog filters the events of its own controls only (see CreateControl).
bool DialogWidget::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress)
        return HandleDialogKey(static_cast<QKeyEvent*>(event));
    // A file dropped on an edit is the dialog's, as on the original platform, where edits
    // take no file drops; a text drag still goes to the edit.
    return HandleFileDrag(event) || QDialog::eventFilter(watched, event);
}

void DialogWidget::closeEvent(QCloseEvent* event) {
    // The close box asks; the dialog's own processing decides (WM_CLOSE becomes IDCANCEL).
    event->ignore();
    Send(WM_CLOSE);
}

void DialogWidget::reject() {
    Send(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

void DialogWidget::BuildSystemMenu() {
    m_sysMenu = new QMenu(this);
    m_sysMenuObject.m_hMenu = reinterpret_cast<HMENU>(m_sysMenu);
    m_sysMenuObject.AppendMenu(MF_STRING, SC_MINIMIZE, "Mi&nimize");
    m_sysMenuObject.AppendMenu(MF_STRING, SC_CLOSE, "&Close");
    connect(m_sysMenu, &QMenu::triggered, this,
            [this](QAction* action) { Send(WM_SYSCOMMAND, action->data().toUInt(), 0); });
}

HICON DialogWidget::SetIcon(HICON hIcon, bool bBig) {
    HICON previous = std::exchange(bBig ? m_bigIcon : m_smallIcon, hIcon);
    QIcon icon = AfxIconFromHandle(m_bigIcon);
    for (const QSize& size : AfxIconFromHandle(m_smallIcon).availableSizes())
        icon.addPixmap(AfxIconFromHandle(m_smallIcon).pixmap(size));
    setWindowIcon(icon);
    return previous;
}

void DialogWidget::FocusFirstTabStop() {
    for (QWidget* control : m_controls) {
        if ((StyleOf(control) & WS_TABSTOP) && control->isVisibleTo(this) && control->isEnabled()) {
            control->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

LRESULT DialogWidget::DefaultProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CLOSE:
        return Send(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE)
            return Send(WM_CLOSE);
        if ((wParam & 0xFFF0) == SC_MINIMIZE)
            showMinimized();
        return 0;
    case WM_SETICON:
        return (LRESULT)SetIcon(reinterpret_cast<HICON>(lParam), wParam == ICON_BIG);
    case WM_ICONERASEBKGND: {
        if (QPainter* painter = GetDCPainter(reinterpret_cast<HDC>(wParam)))
            painter->fillRect(rect(), palette().color(QPalette::Window));
        return TRUE;
    }
    default:
        return CommonWindowProc(this, message, wParam, lParam);
    }
}

} // namespace ui
