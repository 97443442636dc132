// Files dragged from a file manager onto a view of the volume browser (a page's
// list, its thumbnails, the directory tree): the drag is taken while it carries
// local files and `accepts` agrees for the point it is over, and a drop is
// reported with its files and that point. What a drop does is the document's
// (CKestrelDoc::dropFilesCommand). Drags that start in the program itself are
// left alone, and the files are only ever copied, never moved.
#pragma once

#include <QObject>
#include <QPoint>
#include <QStringList>

#include <functional>

class QMimeData;
class QWidget;

class CFileDropFilter : public QObject {
    Q_OBJECT
public:
    // Watches `viewport` (which it lets take drops) and lives as long as it.
    explicit CFileDropFilter(QWidget* viewport, std::function<bool(const QPoint&)> accepts = {});

    // The local files a drag carries (paths in the system's encoding, as Qt
    // gives them); empty when it carries anything else.
    static QStringList localFiles(const QMimeData* mime);

signals:
    void filesDropped(const QStringList& files, const QPoint& position);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<bool(const QPoint&)> m_accepts;
};
