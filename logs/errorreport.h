#pragma once
// The one routine through which every handled run-time error passes: it is
// logged, then, by the error mode strG_Unattended, asked about, aborted on or
// passed over.

#include <QString>

class QWidget;

namespace pm {

// What an abort stops: the running transfer and the work queue. The queue
// registers itself here; without one, an abort only tells its caller to leave.
class AbortTarget {
public:
    virtual ~AbortTarget() = default;
    virtual bool transferRunning() const = 0;
    virtual void cancelTransfer() = 0;
    virtual void setStopFlag() = 0;
};

void setAbortTarget(AbortTarget* target);
AbortTarget* abortTarget();

// The window that owns the question box (may be null).
void setErrorDialogParent(QWidget* parent);

// "Error #<n>(&H<hex>) <description> in <routine>"
QString errorLogText(int number, const QString& description, const QString& routine);

// Logs the error and decides: true means the caller must leave at once.
bool ReportError(int number, const QString& description, const QString& routine);

}  // namespace pm
