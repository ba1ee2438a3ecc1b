#include "app/consolereport.h"

#include "app/commandline.h"

#include <QLocale>

#include <cstdio>
#include <sys/ioctl.h>
#include <unistd.h>

namespace pm {

namespace {
// How often the bar is redrawn, and how often a plain line may be written.
constexpr int kBarMs = 200;
constexpr int kPlainMs = 5000;

QString dataSize(qint64 bytes)
{
    return QLocale::c().formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}

int terminalWidth()
{
    winsize size = {};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

QString oneField(QString text)
{
    return text.replace(QLatin1Char('\t'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
}
}  // namespace

ConsoleReport::ConsoleReport(bool terminal, QObject* parent) : QObject(parent), m_terminal(terminal)
{
    m_timer.setInterval(kBarMs);
    connect(&m_timer, &QTimer::timeout, this, &ConsoleReport::tick);
}

ConsoleReport::~ConsoleReport()
{
    clearBar();
}

bool ConsoleReport::stderrIsTerminal()
{
    return ::isatty(STDERR_FILENO) == 1;
}

void ConsoleReport::line(const QString& outcome, const QString& text, qint64 bytes, const QString& last)
{
    clearBar();
    printText(stdout, QStringList{outcome, oneField(text), bytes < 0 ? QStringLiteral("-") : QString::number(bytes),
                                  oneField(last)}
                              .join(QLatin1Char('\t'))
                          + QLatin1Char('\n'));
}

void ConsoleReport::message(const QString& text)
{
    clearBar();
    printText(stderr, QStringLiteral("pullmark: ") + text + QLatin1Char('\n'));
}

void ConsoleReport::startProgress(std::function<RunProgress()> source)
{
    m_source = std::move(source);
    m_sincePlain.start();
    m_timer.start();
}

void ConsoleReport::stopProgress()
{
    m_timer.stop();
    m_source = nullptr;
    clearBar();
}

QString ConsoleReport::barText(const RunProgress& progress, int width)
{
    const int cells = 20;
    const int filled = progress.total > 0 ? int(qint64(cells) * progress.done / progress.total) : 0;
    QString text = QStringLiteral("[%1%2] %3/%4  %5  %6/s")
                       .arg(QString(filled, QLatin1Char('=')), QString(cells - filled, QLatin1Char(' ')))
                       .arg(progress.done)
                       .arg(progress.total)
                       .arg(dataSize(progress.bytes), dataSize(qint64(progress.rate)));
    if (!progress.current.isEmpty())
        text += QStringLiteral("  ") + progress.current;
    return text.left(std::max(0, width));
}

QString ConsoleReport::plainText(const RunProgress& progress)
{
    return tr("%1 of %2 entries done, %3, %4/s")
        .arg(progress.done)
        .arg(progress.total)
        .arg(dataSize(progress.bytes), dataSize(qint64(progress.rate)));
}

void ConsoleReport::tick()
{
    if (!m_source)
        return;
    const RunProgress progress = m_source();
    if (m_terminal) {
        // The last column stays free, so the cursor never wraps.
        printText(stderr, QLatin1Char('\r') + barText(progress, terminalWidth() - 1) + QStringLiteral("\x1b[K"));
        m_barShown = true;
        return;
    }
    const QString plain = plainText(progress);
    if (m_sincePlain.elapsed() >= kPlainMs && plain != m_lastPlain) {
        printText(stderr, QStringLiteral("pullmark: ") + plain + QLatin1Char('\n'));
        m_lastPlain = plain;
        m_sincePlain.restart();
    }
}

void ConsoleReport::clearBar()
{
    if (!m_barShown)
        return;
    printText(stderr, QStringLiteral("\r\x1b[K"));
    m_barShown = false;
}

}  // namespace pm
