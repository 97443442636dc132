#include "views/browser/EntryStateIcons.h"

#include <QPainter>
#include <QPixmap>

#include <array>

namespace {

// Index = kind; 0 and 4 share the neutral look.
constexpr std::array<std::pair<unsigned, char>, 9> LOOKS = {{
    {0x9E9E9E, '?'},  // no kind
    {0x8E44AD, 'M'},  // 3D data played as sound
    {0x27AE60, 'W'},  // wave
    {0x2E86C1, 'T'},  // texture / image
    {0x9E9E9E, '?'},  // other
    {0xD35400, 'Q'},  // archive
    {0xC0392B, 'A'},  // animation
    {0x16A085, 'F'},  // font
    {0x7F8C8D, 'S'},  // source control file
}};

QIcon makeIcon(unsigned rgb, char letter)
{
    QPixmap pixmap(22, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor::fromRgb(rgb));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(3, 1, 16, 14), 3, 3);
    QFont font = p.font();
    font.setPixelSize(10);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRect(3, 1, 16, 14), Qt::AlignCenter, QString(QChar(letter)));
    return QIcon(pixmap);
}

}  // namespace

const QIcon& EntryStateIcons::icon(int kind)
{
    static const std::array<QIcon, 9> icons = [] {
        std::array<QIcon, 9> out;
        for (int k = 0; k < 9; ++k)
            out[static_cast<std::size_t>(k)] = makeIcon(LOOKS[static_cast<std::size_t>(k)].first,
                                                        LOOKS[static_cast<std::size_t>(k)].second);
        return out;
    }();
    const int k = kind >= 1 && kind <= 8 ? kind : 0;
    return icons[static_cast<std::size_t>(k)];
}

const QIcon& EntryStateIcons::damaged()
{
    static const QIcon icon = makeIcon(0xD0021B, '!');
    return icon;
}
