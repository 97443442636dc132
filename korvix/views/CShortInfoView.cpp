#include "views/CShortInfoView.h"

#include <QPaintEvent>
#include <QPainter>


CShortInfoView::CShortInfoView(QWidget* parent) : QWidget(parent), m_font(QStringLiteral("Arial"))
{
    m_font.setPixelSize(15);
    m_font.setWeight(QFont::Normal);
    m_font.setStyleHint(QFont::SansSerif);
    setFont(m_font);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::ArrowCursor);
    // Room for the four lines of text.
    setMinimumHeight(75);
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
        const auto texts = m_entry.lines();
        const int top[4] = {3, 20, 37, 54};
        for (int i = 0; i < 4; ++i)
            out.append({{3, top[i]}, QString::fromStdString(texts[static_cast<std::size_t>(i)])});
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
