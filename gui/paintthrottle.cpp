#include "gui/paintthrottle.h"

#include <QAbstractItemModel>
#include <QAbstractScrollArea>
#include <QEvent>

namespace pm {

PaintThrottle::PaintThrottle(QAbstractScrollArea* view, QAbstractItemModel* model, int intervalMs)
    : QObject(view), m_view(view), m_intervalMs(intervalMs)
{
    m_release.setSingleShot(true);
    connect(&m_release, &QTimer::timeout, this, &PaintThrottle::release);
    view->viewport()->installEventFilter(this);
    const auto changing = [this] { contentChanging(); };
    connect(model, &QAbstractItemModel::rowsAboutToBeInserted, this, changing);
    connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, this, changing);
    connect(model, &QAbstractItemModel::rowsAboutToBeMoved, this, changing);
    connect(model, &QAbstractItemModel::layoutAboutToBeChanged, this, changing);
    connect(model, &QAbstractItemModel::dataChanged, this, changing);
}

bool PaintThrottle::holding() const
{
    return m_release.isActive();
}

bool PaintThrottle::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Paint && watched == m_view->viewport())
        m_sincePaint.start();
    return QObject::eventFilter(watched, event);
}

void PaintThrottle::contentChanging()
{
    // A change right after a paint waits for the end of the interval; the
    // first change after a quiet time paints at once.
    if (holding() || !m_sincePaint.isValid())
        return;
    const qint64 since = m_sincePaint.elapsed();
    if (since >= m_intervalMs)
        return;
    m_view->setUpdatesEnabled(false);
    m_release.start(int(m_intervalMs - since));
}

void PaintThrottle::release()
{
    m_sincePaint.invalidate();
    // Enabling the updates repaints the whole view with what it shows now.
    m_view->setUpdatesEnabled(true);
}

}  // namespace pm
