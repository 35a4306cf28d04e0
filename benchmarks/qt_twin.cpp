// The viewer's dialog built straight from Qt widgets, with no platform layer between: the same
// 23 controls at the same pixel rectangles in the same font, the art folder read from the same
// settings store, the sheet read twice through the image library as the viewer does at start,
// and the first paint showing the row strip, close-up and stage from that sheet. It is the
// floor the layer's start-up is measured against.
#include "first_paint.h"

#include "afxwin.h"
#include "dib.h"
#include "resource.h"
#include "resources.h"
#include "sheet.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDialog>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QStandardPaths>

namespace {

QRect PixelRect(const DialogItemTemplate& item) {
    RECT rc{item.x, item.y, item.x + item.cx, item.y + item.cy};
    AfxMapDialogRect(&rc);
    return QRect(rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top);
}

QWidget* MakeButton(const DialogItemTemplate& item, QWidget* parent) {
    const QString text = QString::fromUtf8(item.lpszText);
    switch (item.dwStyle & BS_TYPEMASK) {
    case BS_AUTOCHECKBOX:
        return new QCheckBox(text, parent);
    case BS_AUTORADIOBUTTON:
        return new QRadioButton(text, parent);
    case BS_GROUPBOX:
        return new QGroupBox(text, parent);
    default: {
        auto* button = new QPushButton(text, parent);
        button->setDefault((item.dwStyle & BS_TYPEMASK) == BS_DEFPUSHBUTTON);
        return button;
    }
    }
}

QWidget* MakeControl(const DialogItemTemplate& item, QWidget* parent) {
    QWidget* control = nullptr;
    if (item.windowClass == ControlClass::Edit) {
        control = new QLineEdit(parent);
    } else if (item.windowClass == ControlClass::Button) {
        control = MakeButton(item, parent);
    } else if ((item.dwStyle & SS_TYPEMASK) == SS_BLACKFRAME ||
               (item.dwStyle & SS_TYPEMASK) == SS_BLACKRECT) {
        auto* frame = new QFrame(parent);
        frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
        control = frame;
    } else {
        auto* label = new QLabel(QString::fromUtf8(item.lpszText), parent);
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        control = label;
    }
    control->setGeometry(PixelRect(item));
    control->setVisible((item.dwStyle & WS_VISIBLE) != 0);
    return control;
}

// A CDIB's picture as Qt sees it: its indices through its colour table, top row first.
QImage ImageOf(const CDIB& dib) {
    QImage image(dib.m_pBits, dib.GetWidth(), dib.GetHeight(), dib.GetStride(),
                 QImage::Format_Indexed8);
    QList<QRgb> colours;
    for (int i = 0; i < 256; ++i) {
        const RGBQUAD& q = dib.m_pBMI->bmiColors[i];
        colours.append(qRgb(q.rgbRed, q.rgbGreen, q.rgbBlue));
    }
    image.setColorTable(colours);
    return image.mirrored(); // the DIB is bottom-up
}

class TwinDialog : public QDialog {
public:
    TwinDialog() {
        const DialogTemplate* tmpl = ResFindDialog(IDD_VIEWER);
        setWindowTitle("twin");
        QFont font("Liberation Sans");
        font.setPointSizeF(7.5);
        setFont(font);
        setFixedSize(609, 393);
        for (int i = 0; i < tmpl->nItems; ++i)
            m_controls.push_back(MakeControl(tmpl->pItems[i], this));

        // As the viewer starts: the folder from the settings, the first row, then the
        // start-up reload reads the sheet again.
        const QString exe = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
        const QString config =
            QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
        QSettings settings(config + "/Marrowfen/" + exe + ".conf", QSettings::IniFormat);
        const QString folder = settings.value("Prefs/fileName", "c:\\Kyr\\art").toString();
        const CString path = SheetPath(folder.toUtf8().constData(), SheetFileName(MODE_ATTACK, 0));
        for (int i = 0; i < 2; ++i)
            m_bLoaded = m_sheet.Load(path, nullptr) != FALSE;
        if (m_bLoaded)
            m_picture = ImageOf(m_sheet);
    }

    bool Loaded() const { return m_bLoaded; }

protected:
    void paintEvent(QPaintEvent*) override {
        if (!m_bLoaded)
            return;
        const SheetGeometry g = GetSheetGeometry(MODE_ATTACK);
        const int C = g.cellSize, F = g.framesPerRow;
        QPainter painter(this);
        const QRect strip(90 + (399 - F * C) / 2, 133 + (64 - C) / 2, F * C, C);
        painter.fillRect(QRect(90, 133, 399, 64), Qt::black);
        painter.drawImage(strip, m_picture, QRect(0, 0, F * C, C));
        painter.drawImage(QRect(12 + (72 - C) / 2, 134 + (64 - C) / 2, C - 1, C - 1), m_picture,
                          QRect(1, 1, C - 1, C - 1));
        QImage stage(478, 167, QImage::Format_RGB32);
        stage.fill(m_picture.pixel(0, 0));
        QPainter onStage(&stage);
        onStage.drawImage(QPoint(239 - C / 2, 83 - C / 2), m_picture, QRect(1, 1, C - 1, C - 1));
        onStage.end();
        painter.drawImage(QPoint(11, 215), stage);
    }

private:
    std::vector<QWidget*> m_controls;
    CDIB m_sheet;
    QImage m_picture;
    bool m_bLoaded = false;
};

} // namespace

bool RunQtTwin() {
    TwinDialog dialog;
    dialog.exec();
    return dialog.Loaded();
}
