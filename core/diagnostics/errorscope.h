#pragma once
// Runs a routine's steps under one error handler: a step that throws a
// RuntimeError is reported under the routine's fixed name; after a report
// that says "carry on" the next step runs, after an abort none does.
//
//     ErrorScope scope(reporter, QStringLiteral("SaveINI."));
//     if (!scope.step([&] { ... })) return;
//     if (!scope.step([&] { ... })) return;

#include "core/diagnostics/errorreporter.h"
#include "core/diagnostics/errors.h"

#include <QString>
#include <utility>

namespace pm {

class ErrorScope {
public:
    ErrorScope(ErrorReporter& reporter, QString routine) : m_reporter(reporter), m_routine(std::move(routine)) {}

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

    // Runs one step even after an abort, for a routine that must see its
    // work through (a load reads every line). Only the scope's first failure
    // is reported in full, so the user is asked, or the work aborted, at most
    // once; later failures are logged.
    template <typename Step>
    void stepThrough(Step&& run)
    {
        try {
            std::forward<Step>(run)();
        } catch (const RuntimeError& error) {
            if (m_reports == 0) {
                report(error);
            } else {
                ++m_reports;
                m_reporter.log(error, m_routine);
            }
        }
    }

    // Reports an error found without an exception. Returns false on abort.
    bool report(const RuntimeError& error)
    {
        ++m_reports;
        if (m_reporter.report(error, m_routine))
            m_aborted = true;
        return !m_aborted;
    }

    bool aborted() const { return m_aborted; }
    int reportCount() const { return m_reports; }

private:
    ErrorReporter& m_reporter;
    QString m_routine;
    bool m_aborted = false;
    int m_reports = 0;
};

}  // namespace pm
