// Long work of the document (DocumentHost::runLongWork) on a worker thread
// behind a progress dialog: files, bytes, the current name and "Abbrechen".
//
// A short piece of work shows no dialog: for its first moments the program
// only waits for it, keeping the user's input away but still painting (and
// answering the work's questions, which come through queued calls). Then the
// dialog appears, application-modal, so that nothing the user does reaches
// the document the work reads. "Abbrechen" sets the work's cancel flag; the
// call returns when the work has ended.
#pragma once

#include "document/DocumentHost.h"

#include <QString>

class QWidget;

namespace longwork {

// How long the work runs before the dialog shows.
inline constexpr int QUIET_MS = 400;

void run(QWidget* parent, const QString& title, const LongWork& work);

// The dialog's text for a progress: "12 von 20.000 Dateien, 3,4 MB von 29,1 MB"
// and the current name on a line of its own.
QString progressText(const WorkProgress& progress);

}  // namespace longwork
