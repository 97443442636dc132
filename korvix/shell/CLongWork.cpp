#include "shell/CLongWork.h"

#include "common/MessageTable.h"
#include "document/EntryColumns.h"

#include <QEventLoop>
#include <QLabel>
#include <QProgressBar>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>

#include <memory>
#include <mutex>

namespace longwork {

QString progressText(const WorkProgress& p)
{
    const korvix::NumberStyle style = entrycolumns::numberStyle();
    const std::string counts = korvix::MessageTable::format(
        korvix::MessageId::ExtractProgressFormat, korvix::countText(p.filesDone, style).c_str(),
        korvix::countText(p.filesTotal, style).c_str(), korvix::byteText(p.bytesDone, style).c_str(),
        korvix::byteText(p.bytesTotal, style).c_str());
    return QString::fromStdString(counts) + QLatin1Char('\n') + QString::fromStdString(p.current);
}

void run(QWidget* parent, const QString& title, const LongWork& work)
{
    std::atomic<bool> cancel{false};
    std::mutex mutex;
    WorkProgress latest;
    bool fresh = false;
    std::unique_ptr<QThread> thread(QThread::create([&] {
        work(cancel, [&](const WorkProgress& p) {
            std::lock_guard lock(mutex);
            latest = p;
            fresh = true;
        });
    }));

    QProgressDialog dialog(parent);
    dialog.setWindowTitle(title);
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setCancelButtonText(QString::fromUtf8(korvix::msg(korvix::MessageId::ProgressCancel)));
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    dialog.setMinimumDuration(0);
    dialog.setRange(0, 1000);
    dialog.setMinimumWidth(420);
    dialog.setAccessibleName(title);
    if (auto* bar = dialog.findChild<QProgressBar*>())
        bar->setAccessibleName(QString::fromUtf8(korvix::msg(korvix::MessageId::ProgressBarName)));
    if (auto* label = dialog.findChild<QLabel*>())
        label->setAccessibleName(QString::fromUtf8(korvix::msg(korvix::MessageId::ProgressStageName)));
    dialog.hide();
    QObject::connect(&dialog, &QProgressDialog::canceled, &dialog, [&] { cancel = true; });

    // Ten times a second the dialog shows where the work is.
    QTimer tick;
    tick.setInterval(100);
    QObject::connect(&tick, &QTimer::timeout, &dialog, [&] {
        WorkProgress p;
        {
            std::lock_guard lock(mutex);
            if (!fresh)
                return;
            p = latest;
            fresh = false;
        }
        const double share = p.bytesTotal > 0 ? static_cast<double>(p.bytesDone) / static_cast<double>(p.bytesTotal)
                             : p.filesTotal > 0 ? static_cast<double>(p.filesDone) / static_cast<double>(p.filesTotal)
                                                : 0.0;
        dialog.setValue(static_cast<int>(share * 1000));
        dialog.setLabelText(progressText(p));
    });

    QEventLoop loop;
    QObject::connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit);
    thread->start();
    tick.start();
    // The first moments: no dialog, no input, but painting and questions.
    QTimer quiet;
    quiet.setSingleShot(true);
    QObject::connect(&quiet, &QTimer::timeout, &loop, &QEventLoop::quit);
    quiet.start(QUIET_MS);
    if (!thread->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    quiet.stop();
    if (!thread->isFinished()) {
        dialog.show();
        if (!thread->isFinished())
            loop.exec();
    }
    thread->wait();
    tick.stop();
    dialog.hide();
}

}  // namespace longwork
