// The progress of long work that runs off the user-interface thread (a rewrite
// of the volume): the stage the work names, a bar, and "Abbrechen", which asks
// the work to stop. The dialog is modal while the work runs and closes itself
// when the work has returned; Escape and closing the window cancel as the
// button does, the dialog stays until the work has stopped.
#pragma once

#include "document/DocumentHost.h"

#include <QDialog>

#include <atomic>
#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

class CProgressDialog : public QDialog {
    Q_OBJECT
public:
    CProgressDialog(const QString& title, WorkProgress& progress, QWidget* parent = nullptr);
    ~CProgressDialog() override;

    // Runs `work` on a thread of its own and shows the dialog until it has
    // returned. An exception `work` throws is thrown again here.
    void run(const std::function<void()>& work);

    QLabel* stageLabel() const { return m_pStage; }
    QProgressBar* bar() const { return m_pBar; }
    QPushButton* cancelButton() const { return m_pCancel; }

    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Shows what the work reported; closes once it is done.
    void poll();

    WorkProgress& m_progress;
    QLabel* m_pStage;
    QProgressBar* m_pBar;
    QPushButton* m_pCancel;
    QTimer* m_pTimer;
    std::atomic<bool> m_bDone{false};
};
