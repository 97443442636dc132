#include "shell/CAboutWindow.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QRegion>
#include <QSvgRenderer>
#include <QWindow>

namespace {
constexpr QRgb KEY = qRgb(255, 0, 255);
}

CAboutWindow::CAboutWindow(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    initShellResources();
    setObjectName(QStringLiteral("AboutWindow"));
    setWindowTitle(QStringLiteral("Korvix 0.93"));
    setFixedSize(WIDTH, HEIGHT);
    m_picture = QImage(WIDTH, HEIGHT, QImage::Format_RGB32);
    m_picture.fill(KEY);
    {
        QPainter p(&m_picture);
        QSvgRenderer(QStringLiteral(":/about/about.svg")).render(&p, QRectF(0, 0, WIDTH, HEIGHT));
    }
    setMask(regionFromPicture(m_picture, KEY));

    auto* credit = new QLabel(this);
    credit->setObjectName(QStringLiteral("Credit"));
    credit->setText(QStringLiteral("Korvix 0.93\nTexturen und QORB-Archive\nfür Tarvos\n\n© Tessarin"));
    credit->setAlignment(Qt::AlignCenter);
    credit->setAttribute(Qt::WA_TranslucentBackground);
    credit->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
    credit->adjustSize();
    credit->move(127 - credit->width() / 2, 166 - credit->height() / 2);
}

// One rectangle per maximal run of non-key pixels in each row, united.
QRegion CAboutWindow::regionFromPicture(const QImage& picture, QRgb key)
{
    const QImage image = picture.convertToFormat(QImage::Format_RGB32);
    QList<QRect> runs;
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        int x = 0;
        while (x < image.width()) {
            while (x < image.width() && (row[x] & 0xFFFFFF) == (key & 0xFFFFFF))
                ++x;
            const int start = x;
            while (x < image.width() && (row[x] & 0xFFFFFF) != (key & 0xFFFFFF))
                ++x;
            if (x > start)
                runs.append(QRect(start, y, x - start, 1));
        }
    }
    QRegion region;
    region.setRects(runs.constData(), static_cast<int>(runs.size()));
    return region;
}

void CAboutWindow::paintEvent(QPaintEvent*)
{
    QPainter(this).drawImage(0, 0, m_picture);
}

void CAboutWindow::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        reject();
        return;
    }
    if (event->button() == Qt::LeftButton) {
        // Moved as if its caption had been grabbed: by the window system where
        // it can, by following the mouse otherwise.
        if (windowHandle() && windowHandle()->startSystemMove())
            return;
        m_bMoving = true;
        m_grab = event->globalPosition().toPoint() - frameGeometry().topLeft();
    }
}

void CAboutWindow::mouseMoveEvent(QMouseEvent* event)
{
    if (m_bMoving)
        move(event->globalPosition().toPoint() - m_grab);
}

void CAboutWindow::mouseReleaseEvent(QMouseEvent*)
{
    m_bMoving = false;
}
