#include "dialogs/CProgressDialog.h"

#include "common/MessageTable.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <exception>
#include <thread>

namespace {

// The bar counts in thousandths, so that counts beyond an int fit.
constexpr int BAR_STEPS = 1000;

}  // namespace

CProgressDialog::CProgressDialog(const QString& title, WorkProgress& progress, QWidget* parent)
    : QDialog(parent), m_progress(progress), m_pStage(new QLabel(this)), m_pBar(new QProgressBar(this)),
      m_pCancel(new QPushButton(QString::fromUtf8(korvix::msg(korvix::MessageId::ProgressCancel)), this)), m_pTimer(new QTimer(this))
{
    setObjectName(QStringLiteral("ProgressDialog"));
    setWindowTitle(title);
    setAccessibleName(title);
    setModal(true);
    // The window's own close button cancels too; there is nothing else to choose.
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    m_pStage->setObjectName(QStringLiteral("ProgressStage"));
    m_pStage->setAccessibleName(QString::fromUtf8(korvix::msg(korvix::MessageId::ProgressStageName)));
    m_pStage->setMinimumWidth(360);
    m_pBar->setObjectName(QStringLiteral("ProgressBar"));
    m_pBar->setAccessibleName(QString::fromUtf8(korvix::msg(korvix::MessageId::ProgressBarName)));
    m_pBar->setRange(0, 0);
    m_pCancel->setObjectName(QStringLiteral("ProgressCancel"));
    m_pCancel->setAccessibleName(m_pCancel->text());
    m_pCancel->setDefault(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pStage);
    layout->addWidget(m_pBar);
    layout->addWidget(m_pCancel, 0, Qt::AlignRight);
    connect(m_pCancel, &QPushButton::clicked, this, &CProgressDialog::reject);
    m_pTimer->setInterval(100);
    connect(m_pTimer, &QTimer::timeout, this, &CProgressDialog::poll);
}

CProgressDialog::~CProgressDialog() = default;

void CProgressDialog::run(const std::function<void()>& work)
{
    std::exception_ptr failure;
    std::thread worker([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        m_bDone.store(true);
    });
    poll();
    m_pTimer->start();
    // The modal loop ends in poll() once the work is done, however quickly.
    if (!m_bDone.load())
        exec();
    m_pTimer->stop();
    worker.join();
    if (failure)
        std::rethrow_exception(failure);
}

void CProgressDialog::poll()
{
    if (m_bDone.load()) {
        m_pTimer->stop();
        if (isVisible())
            accept();
        return;
    }
    const int stage = m_progress.stage.load(std::memory_order_relaxed);
    if (stage >= 0 && stage < static_cast<int>(korvix::MessageId::Count))
        m_pStage->setText(QString::fromUtf8(korvix::msg(static_cast<korvix::MessageId>(stage))));
    const std::uint64_t total = m_progress.total.load(std::memory_order_relaxed);
    const std::uint64_t done = m_progress.done.load(std::memory_order_relaxed);
    if (total == 0) {
        m_pBar->setRange(0, 0);
    } else {
        m_pBar->setRange(0, BAR_STEPS);
        m_pBar->setValue(static_cast<int>(std::min<std::uint64_t>(done, total) * BAR_STEPS / total));
    }
}

void CProgressDialog::reject()
{
    // Asked to stop; the dialog goes when the work has stopped.
    m_progress.cancel.store(true);
    m_pCancel->setEnabled(false);
    if (m_bDone.load())
        QDialog::reject();
}

void CProgressDialog::closeEvent(QCloseEvent* event)
{
    reject();
    if (!m_bDone.load())
        event->ignore();
}
