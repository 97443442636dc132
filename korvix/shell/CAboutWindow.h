// The About window: our own picture with its outline as the window's shape
// (magenta is the key colour), the credit text centred on it. A left drag moves
// it, a right click or Escape closes it.
#pragma once

#include <QDialog>
#include <QImage>
#include <QPoint>

void initShellResources();

class CAboutWindow : public QDialog {
    Q_OBJECT
public:
    static constexpr int WIDTH = 254;
    static constexpr int HEIGHT = 239;

    explicit CAboutWindow(QWidget* parent = nullptr);
    const QImage& picture() const { return m_picture; }
    // The window region from the picture: every pixel but the key colour.
    static QRegion regionFromPicture(const QImage& picture, QRgb key);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QImage m_picture;
    bool m_bMoving = false;
    QPoint m_grab;
};
