#pragma once
// Runs a routine's steps under one error handler: a step that throws a
// RuntimeError is reported under the routine's fixed name; after a report
// that says "carry on" the next step runs, after an abort none does.
//
//     ErrorScope scope(QStringLiteral("SaveINI."));
//     if (!scope.step([&] { ... })) return;
//     if (!scope.step([&] { ... })) return;

#include "common/errors.h"
#include "logs/errorreport.h"

#include <QString>
#include <utility>

namespace pm {

class ErrorScope {
public:
    explicit ErrorScope(QString routine) : m_routine(std::move(routine)) {}

    // Runs one step. Returns false when the routine must leave now.
    template <typename Step>
    bool step(Step&& run)
    {
        if (m_aborted)
            return false;
        try {
            std::forward<Step>(run)();
        } catch (const RuntimeError& error) {
            report(error);
        }
        return !m_aborted;
    }

    // Reports an error found without an exception.
    bool report(const RuntimeError& error)
    {
        ++m_reports;
        if (ReportError(error.number, error.description, m_routine))
            m_aborted = true;
        return !m_aborted;
    }

    bool aborted() const { return m_aborted; }
    int reportCount() const { return m_reports; }
    const QString& routine() const { return m_routine; }

private:
    QString m_routine;
    bool m_aborted = false;
    int m_reports = 0;
};

}  // namespace pm
