// Fonts and DrawTextA. Qt lays the text out and rasterises the glyphs; on a memory context the
// covered pixels become table indices of the selected bitmap.
#include "dc.h"

#include "gdi_internal.h"

#include <QCoreApplication>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>

using namespace gdi;

namespace {

// Pixel sizes past this are clamped: a hostile height must not make Qt rasterise glyphs the
// size of a wall.
constexpr long long kMaxPixelSize = 2048;
// A height of 0 asks for the default: the cell height of the system font.
constexpr long long kDefaultCellHeight = 16;
// Face names are kept to the length the original platform stores.
constexpr size_t kMaxFaceLength = 31;

// The text renderer needs a QGuiApplication; without one, text is not drawn.
bool GuiAvailable() {
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

long long PixelSizeFor(const QFont& base, long long height) {
    if (height < 0)
        return std::clamp(-height, 1LL, kMaxPixelSize);
    long long cell = height == 0 ? kDefaultCellHeight : std::min(height, kMaxPixelSize);
    // A positive height is the cell (ascent plus descent); scale the em size down to fit it.
    QFont probe(base);
    probe.setPixelSize((int)cell);
    QFontMetricsF metrics(probe);
    qreal actual = metrics.ascent() + metrics.descent();
    if (actual <= cell || actual <= 0)
        return cell;
    return std::max(1LL, (long long)(cell * cell / actual));
}

QFont QFontOf(const Font* font) {
    QFont f;
    if (!font->m_face.empty())
        f.setFamily(QString::fromLatin1(font->m_face.c_str()));
    f.setStyleHint(QFont::SansSerif);
    int weight = font->m_weight <= 0 ? FW_NORMAL : std::min(font->m_weight, 1000);
    f.setWeight(QFont::Weight(weight));
    f.setItalic(font->m_italic);
    f.setUnderline(font->m_underline);
    f.setStrikeOut(font->m_strikeOut);
    f.setPixelSize((int)PixelSizeFor(f, font->m_height));
    f.setStyleStrategy(QFont::NoAntialias);
    return f;
}

// The string as the layout sees it: at most cchText bytes, up to the first NUL, with CR LF and
// lone CR turned into line feeds unless the text is kept on one line.
QString TextOf(LPCSTR text, int cchText, UINT format) {
    size_t length = cchText < 0 ? strlen(text) : strnlen(text, (size_t)cchText);
    QString s = QString::fromLatin1(text, (qsizetype)length);
    if (!(format & DT_SINGLELINE)) {
        s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    }
    return s;
}

int QtFlags(UINT format) {
    int flags = Qt::TextDontClip | ((format & DT_NOPREFIX) ? 0 : Qt::TextShowMnemonic);
    flags |= (format & DT_CENTER)  ? Qt::AlignHCenter
             : (format & DT_RIGHT) ? Qt::AlignRight
                                   : Qt::AlignLeft;
    if (!(format & DT_SINGLELINE))
        return flags | Qt::AlignTop | ((format & DT_WORDBREAK) ? Qt::TextWordWrap : 0);
    return flags | Qt::TextSingleLine |
           ((format & DT_VCENTER)  ? Qt::AlignVCenter
            : (format & DT_BOTTOM) ? Qt::AlignBottom
                                   : Qt::AlignTop);
}

QRectF LayoutRect(const RECT& rc) {
    qreal w = std::max<qreal>(0, (qreal)rc.right - rc.left);
    qreal h = std::max<qreal>(0, (qreal)rc.bottom - rc.top);
    return QRectF(rc.left, rc.top, w, h);
}

// Everything one DrawTextA call needs to lay out and paint its text.
struct TextJob {
    QString m_text;
    QRectF m_layout;
    int m_flags;
    bool m_clip;
    bool m_opaque;
};

// Height of the laid-out text; with bottom or centred single lines, the distance from the
// rectangle's top to the text's bottom, as the original platform reports it.
int TextHeight(const QFont& font, const TextJob& job, UINT format) {
    QRectF bounds = QFontMetricsF(font).boundingRect(job.m_layout, job.m_flags, job.m_text);
    if ((format & DT_SINGLELINE) && (format & (DT_VCENTER | DT_BOTTOM)))
        return (int)std::ceil(bounds.bottom() - job.m_layout.top());
    return (int)std::ceil(bounds.height());
}

void PaintText(QPainter& painter, const QFont& font, const TextJob& job, const QColor& text,
               const QColor& background) {
    painter.setFont(font);
    painter.setPen(text);
    painter.setBackgroundMode(job.m_opaque ? Qt::OpaqueMode : Qt::TransparentMode);
    painter.setBackground(background);
    if (job.m_clip)
        painter.setClipRect(job.m_layout, Qt::IntersectClip);
    painter.drawText(job.m_layout, job.m_flags, job.m_text);
}

// Glyphs go into an RGB canvas over the part of the bitmap that may change, in two marker
// colours (text and background) on transparent black; unsmoothed, every pixel is exactly one
// of the three, and each marker becomes its table index.
void DrawOnBitmap(const DeviceContext* dc, const TextJob& job, const QFont& font) {
    Bitmap* bmp = dc->m_bitmap;
    QRectF area(0, 0, bmp->m_width, bmp->m_height);
    if (job.m_clip)
        area &= job.m_layout;
    QRect pixels = area.toAlignedRect() & QRect(0, 0, bmp->m_width, bmp->m_height);
    if (pixels.isEmpty())
        return;

    const QColor textMarker(255, 0, 0), backMarker(0, 255, 0);
    QImage canvas(pixels.size(), QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    {
        QPainter painter(&canvas);
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setRenderHint(QPainter::TextAntialiasing, false);
        painter.translate(-pixels.left(), -pixels.top());
        PaintText(painter, font, job, textMarker, backMarker);
    }

    const BYTE textIndex = MatchColor(*bmp, dc->m_textColor);
    const BYTE backIndex = MatchColor(*bmp, dc->m_bkColor);
    for (int y = 0; y < pixels.height(); ++y) {
        const QRgb* from = reinterpret_cast<const QRgb*>(canvas.constScanLine(y));
        BYTE* to = bmp->Pixel(pixels.left(), pixels.top() + y);
        for (int x = 0; x < pixels.width(); ++x) {
            if (qAlpha(from[x]) < 128)
                continue;
            to[x] = qRed(from[x]) >= qGreen(from[x]) ? textIndex : backIndex;
        }
    }
}

} // namespace

int DrawTextA(HDC hdc, LPCSTR lpchText, int cchText, LPRECT lprc, UINT format) {
    DeviceContext* dc = As<DeviceContext>(hdc);
    // Only a memory context has a bitmap to draw into; every context has a font.
    if (!dc || !dc->MemoryBitmap() || !lpchText || !lprc || !GuiAvailable())
        return 0;
    TextJob job{TextOf(lpchText, cchText, format), LayoutRect(*lprc), QtFlags(format),
                !(format & DT_NOCLIP), dc->m_bkMode == OPAQUE};
    QFont font = QFontOf(dc->m_font);
    DrawOnBitmap(dc, job, font);
    return TextHeight(font, job, format);
}

BOOL CFont::CreateFont(int nHeight, int, int, int, int nWeight, BYTE bItalic, BYTE bUnderline,
                       BYTE cStrikeOut, BYTE, BYTE, BYTE, BYTE, BYTE, LPCTSTR lpszFacename) {
    DeleteObject();
    try {
        auto font = std::make_unique<Font>();
        font->m_height = nHeight;
        font->m_weight = nWeight;
        font->m_italic = bItalic != 0;
        font->m_underline = bUnderline != 0;
        font->m_strikeOut = cStrikeOut != 0;
        if (lpszFacename)
            font->m_face.assign(lpszFacename, strnlen(lpszFacename, kMaxFaceLength));
        return Attach(HandleOfNew<HFONT>(font.release()));
    } catch (const std::bad_alloc&) {
        return FALSE;
    }
}
