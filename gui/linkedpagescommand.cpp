#include "gui/linkedpagescommand.h"

#include "core/appcontext.h"
#include "core/found/linkedpages.h"
#include "gui/foundlistpanel.h"
#include "gui/linkedpageharvest.h"

#include <QShortcut>
#include <QUrl>
#include <QWidget>

namespace pm {

LinkedPagesCommand::LinkedPagesCommand(AppContext& context, FoundListPanel& foundList, QWidget* window)
    : QObject(window), m_context(context), m_foundList(foundList), m_stopKey(new QShortcut(Qt::Key_Escape, window))
{
    // Only while a harvest runs: Escape means nothing else to the window.
    m_stopKey->setEnabled(false);
    connect(m_stopKey, &QShortcut::activated, this, &LinkedPagesCommand::stop);
}

bool LinkedPagesCommand::isRunning() const
{
    return m_harvest && m_harvest->isRunning();
}

void LinkedPagesCommand::start(QWebEngineProfile* profile, const QUrl& pageUrl, const QStringList& links)
{
    if (isRunning())
        return;
    const QStringList pages = linkedPagesToFollow(pageUrl.toString(), links, LinkedPageRules::from(m_context.settings));
    if (pages.isEmpty()) {
        m_foundList.setActivityText(tr("No linked pages to harvest."));
        return;
    }
    // A harvest of its own each time: the browser's profile may have changed.
    delete m_harvest;
    m_harvest = new LinkedPageHarvest(profile, m_context.settings, m_context.errors, this);
    if (m_timeLimitMs > 0)
        m_harvest->setTimeLimit(m_timeLimitMs);
    m_added = 0;
    connect(m_harvest, &LinkedPageHarvest::pageRead, this,
            [this](const QString&, const QString& address, const QStringList& found) {
                m_added += m_foundList.addLinked(address, found);
                showProgress();
            });
    connect(m_harvest, &LinkedPageHarvest::progressed, this, &LinkedPagesCommand::showProgress);
    connect(m_harvest, &LinkedPageHarvest::finished, this, &LinkedPagesCommand::ended);
    m_stopKey->setEnabled(true);
    emit runningChanged(true);
    m_harvest->start(pages);
    showProgress();
}

void LinkedPagesCommand::stop()
{
    if (isRunning())
        m_harvest->stop();  // ended() follows
}

void LinkedPagesCommand::drop()
{
    if (!isRunning())
        return;
    // What the harvest still hands out belongs to the page left.
    m_harvest->disconnect(this);
    m_harvest->stop();
    m_stopKey->setEnabled(false);
    m_foundList.setActivityText(QString());
    emit runningChanged(false);
}

void LinkedPagesCommand::showProgress()
{
    if (isRunning())
        m_foundList.setActivityText(tr("Harvesting linked pages: %1 of %2, %3 files found.")
                                        .arg(m_harvest->doneCount())
                                        .arg(m_harvest->pageCount())
                                        .arg(m_added));
}

void LinkedPagesCommand::ended()
{
    m_stopKey->setEnabled(false);
    const int done = m_harvest->doneCount();
    const int count = m_harvest->pageCount();
    QString text = done < count
        ? tr("Harvest of linked pages stopped after %1 of %2, %3 files found.").arg(done).arg(count).arg(m_added)
        : tr("Harvested %1 linked pages, %2 files found.").arg(count).arg(m_added);
    if (const int failed = m_harvest->failedCount(); failed > 0)
        text += QLatin1Char(' ')
            + (failed == 1 ? tr("1 linked page could not be read.")
                           : tr("%1 linked pages could not be read.").arg(failed));
    m_foundList.setActivityText(text);
    emit runningChanged(false);
    emit finished();
}

}  // namespace pm
