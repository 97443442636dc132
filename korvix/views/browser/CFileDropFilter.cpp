#include "views/browser/CFileDropFilter.h"

#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

CFileDropFilter::CFileDropFilter(QWidget* viewport, std::function<bool(const QPoint&)> accepts)
    : QObject(viewport), m_accepts(std::move(accepts))
{
    viewport->setAcceptDrops(true);
    viewport->installEventFilter(this);
}

QStringList CFileDropFilter::localFiles(const QMimeData* mime)
{
    QStringList files;
    if (!mime || !mime->hasUrls())
        return files;
    for (const QUrl& url : mime->urls()) {
        if (!url.isLocalFile())
            return {};
        files.append(url.toLocalFile());
    }
    return files;
}

bool CFileDropFilter::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const QPoint at = drop->position().toPoint();
        // A drag out of the program (an entry dragged to a file manager) is no file to take in.
        const bool taken = !drop->source() && !localFiles(drop->mimeData()).isEmpty() && (!m_accepts || m_accepts(at));
        if (!taken) {
            drop->ignore();
            return true;
        }
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        if (event->type() == QEvent::Drop)
            emit filesDropped(localFiles(drop->mimeData()), at);
        return true;
    }
    case QEvent::DragLeave:
        return true;
    default:
        return QObject::eventFilter(watched, event);
    }
}
