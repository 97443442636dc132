#include "views/CShortInfoView.h"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cstring>

CShortInfoView::CShortInfoView(QWidget* parent) : QWidget(parent), m_font(QStringLiteral("Arial"))
{
    m_font.setPixelSize(15);
    m_font.setWeight(QFont::Normal);
    m_font.setStyleHint(QFont::SansSerif);
    setFont(m_font);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::ArrowCursor);
    setMinimumHeight(10);
}

void CShortInfoView::redraw()
{
    ++m_redraws;
    update();
}

// A report redraws the pane when anything it shows changed, the mode included:
// a pixel whose green, blue or alpha changed at the same position and red
// value is a different pixel to the user.
void CShortInfoView::showPixel(const PixelReadout& readout)
{
    if (m_mode == MODE_PIXEL && readout == m_pixel)
        return;
    m_mode = MODE_PIXEL;
    m_pixel = readout;
    redraw();
}

void CShortInfoView::showEntry(const EntryReadout& readout)
{
    if (m_mode == MODE_ENTRY && readout == m_entry)
        return;
    m_mode = MODE_ENTRY;
    m_entry = readout;
    redraw();
}

void CShortInfoView::showNothing()
{
    if (m_mode == MODE_NONE)
        return;
    m_mode = MODE_NONE;
    redraw();
}

QList<CShortInfoView::Line> CShortInfoView::lines() const
{
    QList<Line> out;
    if (m_mode == MODE_PIXEL) {
        out.append({{3, 3}, QStringLiteral("Pos X: %1").arg(m_pixel.x)});
        out.append({{3, 20}, QStringLiteral("Pos Y: %1").arg(m_pixel.y)});
        out.append({{100, 3}, QStringLiteral("R: %1").arg(m_pixel.red)});
        out.append({{100, 20}, QStringLiteral("G: %1").arg(m_pixel.green)});
        out.append({{100, 37}, QStringLiteral("B: %1").arg(m_pixel.blue)});
        out.append({{100, 54}, QStringLiteral("A: %1").arg(m_pixel.alpha)});
    } else if (m_mode == MODE_ENTRY) {
        const auto end = std::find(m_entry.name.begin(), m_entry.name.end(), '\0');
        const QString name = QString::fromLatin1(m_entry.name.data(), end - m_entry.name.begin());
        out.append({{3, 3}, name});
        out.append({{3, 20}, QStringLiteral("G-Type: ") + QString::fromUtf8(entryKindLabel(m_entry.kind))});
        out.append({{3, 37}, QStringLiteral("Größe: %1 Bytes").arg(m_entry.size)});
        out.append({{3, 54}, QStringLiteral("File-Offset: %1").arg(m_entry.offset)});
    }
    return out;
}

void CShortInfoView::paintEvent(QPaintEvent* event)
{
    QPainter p(this);
    p.fillRect(event->rect(), Qt::white);
    p.setFont(m_font);
    p.setPen(Qt::black);
    for (const Line& line : lines())
        p.drawText(QRect(line.at, QSize(width() + 1000, 20)), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                   line.text);
    if (m_mode == MODE_PIXEL)
        p.drawLine(80, 3, 80, 70);
}
