#pragma once
// The one place through which every handled run-time error passes: it is
// logged, then, by the error mode, asked about, aborted on or passed over.
// An abort stops the running work session through its abort target.

#include "core/diagnostics/errors.h"

#include <QString>

namespace pm {

class ActivityLog;
class Settings;
class UserInteraction;

// What an abort stops: the queue worker's session.
class AbortTarget {
public:
    virtual ~AbortTarget() = default;
    // Cancels the running transfers and asks the session to stop.
    virtual void abortSession() = 0;
};

class ErrorReporter {
public:
    ErrorReporter(const Settings& settings, ActivityLog& log, UserInteraction& ui);

    void setAbortTarget(AbortTarget* target) { m_abortTarget = target; }

    // Logs the error and decides: true means the caller must leave at once.
    bool report(const RuntimeError& error, const QString& routine);
    // Only logs the error.
    void log(const RuntimeError& error, const QString& routine);

    // The log the reports go to.
    ActivityLog& activityLog() const { return m_log; }

    // "Error #<n>(&H<hex>) <description> in <routine>"
    static QString logText(int number, const QString& description, const QString& routine);

private:
    const Settings& m_settings;
    ActivityLog& m_log;
    UserInteraction& m_ui;
    AbortTarget* m_abortTarget = nullptr;
};

}  // namespace pm
