#pragma once
// What a run without a window tells its user or script. Standard output
// gets one line per entry and a summary line, each of four fields separated
// by tabs:
//   saved      <file>                   <bytes>  <address>
//   failed     <reason>                 -        <address>
//   summary    <counts>                 <bytes>  <elapsed time>
// Standard error gets the progress: on a terminal a one-line bar redrawn in
// place, otherwise a plain line every few seconds while something changes;
// and the run's messages.

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

namespace pm {

// How far a run has got.
struct RunProgress {
    int done = 0;        // entries finished, failed or skipped
    int total = 0;       // entries of the run so far
    qint64 bytes = 0;    // bytes received
    double rate = 0;     // bytes per second now
    QString current;     // what is being worked on
};

class ConsoleReport : public QObject {
    Q_OBJECT
public:
    // `terminal`: standard error is a terminal (a bar, redrawn in place).
    explicit ConsoleReport(bool terminal, QObject* parent = nullptr);
    ~ConsoleReport() override;

    // A line on standard output. `bytes` < 0 is written "-".
    void line(const QString& outcome, const QString& text, qint64 bytes, const QString& last);
    // "pullmark: <text>" on standard error.
    void message(const QString& text);

    // Shows the progress that `source` tells, until stopProgress().
    void startProgress(std::function<RunProgress()> source);
    void stopProgress();

    // The bar as it is drawn, `width` characters at most.
    static QString barText(const RunProgress& progress, int width);
    // The plain line written when standard error is no terminal.
    static QString plainText(const RunProgress& progress);

    // Whether standard error is a terminal.
    static bool stderrIsTerminal();

private:
    void tick();
    void clearBar();

    bool m_terminal;
    bool m_barShown = false;
    std::function<RunProgress()> m_source;
    QTimer m_timer;
    QElapsedTimer m_sincePlain;
    QString m_lastPlain;
};

}  // namespace pm
