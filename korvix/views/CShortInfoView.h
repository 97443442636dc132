// The small pane that shows the position and colour of the picture pixel under
// the mouse, or the name, kind, size and offset of the volume entry under it.
// It has no input of its own; the picture view and the volume browser drive it.
#pragma once

#include "document/EntryReadout.h"
#include "document/PixelReadout.h"

#include <QFont>
#include <QWidget>

class CShortInfoView : public QWidget {
    Q_OBJECT
public:
    enum Mode { MODE_NONE = 0, MODE_PIXEL = 1, MODE_ENTRY = 2 };

    explicit CShortInfoView(QWidget* parent = nullptr);

    int mode() const { return m_mode; }
    const PixelReadout& pixel() const { return m_pixel; }
    const EntryReadout& entry() const { return m_entry; }
    // How often the pane was marked for redrawing since it was made.
    int redrawRequests() const { return m_redraws; }
    // The lines the pane draws, with their positions, for the current mode.
    struct Line {
        QPoint at;
        QString text;
    };
    QList<Line> lines() const;

public slots:
    void showPixel(const PixelReadout& readout);
    void showEntry(const EntryReadout& readout);
    void showNothing();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void redraw();

    int m_mode = MODE_NONE;
    PixelReadout m_pixel;
    EntryReadout m_entry;
    QFont m_font;
    int m_redraws = 0;
};
