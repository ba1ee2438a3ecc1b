#include "gui/foundlistpanel.h"

#include "core/appcontext.h"
#include "core/found/foundannotator.h"
#include "core/found/foundfiltermodel.h"
#include "core/found/foundlistmodel.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

namespace pm {

namespace {
// Entries whose download would fail or be skipped are shown greyed.
class FoundEntryDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (index.data(FoundListModel::WouldNotSaveRole).toBool()) {
            option->palette.setColor(QPalette::Text, option->palette.color(QPalette::Disabled, QPalette::Text));
            option->palette.setColor(QPalette::HighlightedText,
                                     option->palette.color(QPalette::Disabled, QPalette::HighlightedText));
        }
    }
};
}  // namespace

FoundListPanel::FoundListPanel(AppContext& context, QWidget* parent)
    : QWidget(parent),
      m_context(context),
      m_model(new FoundListModel(this)),
      m_shown(new FoundFilterModel(*m_model, this)),
      m_annotator(new FoundAnnotator(*m_model, context, this))
{
    auto makeButton = [this](const char* name, const QString& caption) {
        auto* button = new QPushButton(caption, this);
        button->setObjectName(QLatin1String(name));
        return button;
    };

    m_status = new QLabel(tr("Currently Selected"), this);
    m_status->setObjectName(QStringLiteral("lblStatus"));

    m_view = new QTreeView(this);
    m_view->setObjectName(QStringLiteral("lstUrl"));
    m_view->setAccessibleName(tr("Found files"));
    m_view->setModel(m_shown);
    m_view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setRootIsDecorated(false);
    m_view->setUniformRowHeights(true);
    m_view->setAllColumnsShowFocus(true);
    m_view->setItemDelegate(new FoundEntryDelegate(m_view));
    QHeaderView* header = m_view->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(FoundListModel::NameColumn, QHeaderView::Stretch);
    header->resizeSection(FoundListModel::TypeColumn, fontMetrics().horizontalAdvance(QStringLiteral("application/octet")));
    header->resizeSection(FoundListModel::SizeColumn, fontMetrics().horizontalAdvance(QStringLiteral("0000.0 MB  ")));
    header->resizeSection(FoundListModel::FoundOnColumn, fontMetrics().horizontalAdvance(QStringLiteral("www.example.com/a/page.html")));
    header->resizeSection(FoundListModel::OutcomeColumn, fontMetrics().horizontalAdvance(QStringLiteral("will save as a-long-name0.jpg")));
    m_view->setMinimumHeight(fontMetrics().height() * 4);
    // Every entry of a page alone was found on it: the column tells only
    // once linked pages add theirs.
    m_view->setColumnHidden(FoundListModel::FoundOnColumn, true);

    m_filterBox = new QLineEdit(this);
    m_filterBox->setObjectName(QStringLiteral("txtFilter"));
    m_filterBox->setPlaceholderText(tr("Text in the address, or re:expression"));
    m_filterBox->setClearButtonEnabled(true);
    auto* filterLabel = new QLabel(tr("Fi&lter:"), this);
    filterLabel->setObjectName(QStringLiteral("lblFilter"));
    filterLabel->setBuddy(m_filterBox);
    m_kindBox = new QComboBox(this);
    m_kindBox->setObjectName(QStringLiteral("cmbKind"));
    m_kindBox->setAccessibleName(tr("Kind of file shown"));
    m_kindBox->addItem(tr("All files"), int(FileKind::Any));
    m_kindBox->addItem(tr("Images"), int(FileKind::Image));
    m_kindBox->addItem(tr("Video"), int(FileKind::Video));
    m_kindBox->addItem(tr("Audio"), int(FileKind::Audio));
    m_kindBox->addItem(tr("Other"), int(FileKind::Other));
    m_outcomeBox = new QComboBox(this);
    m_outcomeBox->setObjectName(QStringLiteral("cmbOutcome"));
    m_outcomeBox->setAccessibleName(tr("Entries shown"));
    m_outcomeBox->addItem(tr("Every entry"));
    m_outcomeBox->addItem(tr("New only"));
    m_selectAll = makeButton("cmdSelAll", tr("Select &All"));
    m_selectNone = makeButton("cmdSelNone", tr("Select &None"));
    m_harvestButton = makeButton("cmdHarvestLinked", tr("Harvest Linked &Pages"));
    m_harvestButton->setToolTip(tr("Adds what the pages this page links to hold: the full-size files behind a "
                                   "gallery's thumbnails"));
    m_addButton = makeButton("cmdAdd", tr("A&dd to Queue"));
    m_showQueue = makeButton("cmdShowQue", tr("Show &Queue..."));

    auto* filterRow = new QHBoxLayout;
    filterRow->addWidget(filterLabel);
    filterRow->addWidget(m_filterBox, 1);
    filterRow->addWidget(m_kindBox);
    filterRow->addWidget(m_outcomeBox);
    auto* selectButtons = new QVBoxLayout;
    selectButtons->addWidget(m_selectAll);
    selectButtons->addWidget(m_selectNone);
    selectButtons->addWidget(m_harvestButton);
    selectButtons->addStretch();
    auto* listRow = new QHBoxLayout;
    listRow->addWidget(m_view, 1);
    listRow->addLayout(selectButtons);
    auto* queueButtons = new QHBoxLayout;
    queueButtons->addStretch();
    queueButtons->addWidget(m_addButton);
    queueButtons->addWidget(m_showQueue);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_status);
    layout->addLayout(filterRow);
    layout->addLayout(listRow, 1);
    layout->addLayout(queueButtons);

    connect(m_selectAll, &QPushButton::clicked, this, &FoundListPanel::selectAll);
    connect(m_selectNone, &QPushButton::clicked, this, &FoundListPanel::selectNone);
    connect(m_harvestButton, &QPushButton::clicked, this, &FoundListPanel::harvestRequested);
    connect(m_addButton, &QPushButton::clicked, this, &FoundListPanel::addSelectionToQueue);
    connect(m_showQueue, &QPushButton::clicked, this, &FoundListPanel::showQueueRequested);
    connect(m_view->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (!m_selectingInBulk)
            updateSelectionStatus();
    });
    connect(m_filterBox, &QLineEdit::textChanged, this, &FoundListPanel::filterChanged);
    connect(m_kindBox, &QComboBox::currentIndexChanged, this, &FoundListPanel::filterChanged);
    connect(m_outcomeBox, &QComboBox::currentIndexChanged, this, &FoundListPanel::filterChanged);
    // What becomes known of an entry may show or hide it. The count of
    // hidden entries in the status follows a little later: answers for a
    // large page come hundreds a second.
    m_statusRefresh = new QTimer(this);
    m_statusRefresh->setSingleShot(true);
    m_statusRefresh->setInterval(100);
    connect(m_statusRefresh, &QTimer::timeout, this, [this] {
        if (m_statusShowsSelection)
            updateSelectionStatus();
        else
            showFoundCount();
    });
    auto shownChanged = [this] {
        if (!m_selectingInBulk && !m_statusRefresh->isActive())
            m_statusRefresh->start();
    };
    connect(m_shown, &QAbstractItemModel::rowsInserted, this, shownChanged);
    connect(m_shown, &QAbstractItemModel::rowsRemoved, this, shownChanged);
}

QList<QWidget*> FoundListPanel::tabOrder() const
{
    return {m_filterBox, m_kindBox, m_outcomeBox, m_view, m_selectAll, m_selectNone, m_harvestButton,
            m_addButton, m_showQueue};
}

QList<int> FoundListPanel::selectedRows() const
{
    QList<int> rows;
    for (const QModelIndex& index : m_view->selectionModel()->selectedRows())
        rows << m_shown->mapToSource(index).row();
    std::sort(rows.begin(), rows.end());
    return rows;
}

QStringList FoundListPanel::selectedUrls() const
{
    const QList<int> rows = selectedRows();
    QStringList urls;
    urls.reserve(rows.size());
    for (int row : rows)
        urls << m_model->url(row);
    return urls;
}

void FoundListPanel::clear()
{
    m_annotator->newPage();
    m_model->setPage(QString());
    m_activityText.clear();
    m_model->setStringList({});
    showFoundOnColumn();
    showFoundCount();
}

void FoundListPanel::showList(const QStringList& urls, bool mergeIntoShown, const QString& page)
{
    if (!mergeIntoShown)
        m_activityText.clear();
    m_selectingInBulk = true;
    m_model->setPage(page);  // before the rows come, whose probes carry it
    if (mergeIntoShown) {
        m_model->merge(urls, m_view->selectionModel());
    } else {
        m_annotator->newPage();
        m_model->setStringList(urls);
        showFoundOnColumn();
    }
    m_selectingInBulk = false;
}

void FoundListPanel::showScanStatus()
{
    if (selectedCount() > 0) {
        updateSelectionStatus();
    } else {
        showFoundCount();
        m_addButton->setEnabled(false);
    }
}

void FoundListPanel::clearStatus()
{
    m_status->clear();
    m_addButton->setEnabled(false);
}

void FoundListPanel::refreshDetails()
{
    m_annotator->refreshAll();
}

int FoundListPanel::addLinked(const QString& page, const QStringList& urls)
{
    const int added = m_model->addLinked(page, urls);
    showFoundOnColumn();
    return added;
}

void FoundListPanel::showFoundOnColumn()
{
    m_view->setColumnHidden(FoundListModel::FoundOnColumn, m_model->linkedCount() == 0);
}

void FoundListPanel::setActivityText(const QString& text)
{
    m_activityText = text;
    if (m_statusShowsSelection)
        updateSelectionStatus();
    else
        showFoundCount();
}

void FoundListPanel::setHarvestEnabled(bool enabled)
{
    m_harvestButton->setEnabled(enabled);
}

void FoundListPanel::addSelectionToQueue()
{
    // Each entry is queued as found on its page (its download's Referer),
    // in the list's order.
    for (const FoundListModel::PageRun& run : m_model->runsByPage(selectedRows()))
        m_context.queue.addNew(run.urls, run.page);
}

void FoundListPanel::filterChanged()
{
    // An expression still being typed leaves the list as it was; the box
    // says what is wrong with it.
    FoundFilter filter = m_shown->filter();
    const QString problem = filter.setText(m_filterBox->text());
    m_filterBox->setToolTip(problem.isEmpty() ? QString() : tr("Not a valid expression: %1").arg(problem));
    QPalette palette = m_filterBox->parentWidget()->palette();
    if (!problem.isEmpty())
        palette.setColor(QPalette::Text, Qt::red);
    m_filterBox->setPalette(palette);
    if (!problem.isEmpty())
        return;
    filter.setKind(FileKind(m_kindBox->currentData().toInt()));
    filter.setNewOnly(m_outcomeBox->currentIndex() == 1);
    // A hidden entry leaves the selection with its row.
    m_selectingInBulk = true;
    m_shown->setFilter(filter);
    m_selectingInBulk = false;
    updateSelectionStatus();
}

QString FoundListPanel::hiddenText() const
{
    const int hidden = m_shown->hiddenCount();
    return hidden > 0 ? tr(" %1 hidden by the filter.").arg(hidden) : QString();
}

QString FoundListPanel::statusTail() const
{
    return m_activityText.isEmpty() ? hiddenText() : hiddenText() + QLatin1Char(' ') + m_activityText;
}

int FoundListPanel::selectedCount() const
{
    // Counted by ranges: Select All on 100,000 entries is one range.
    int count = 0;
    for (const QItemSelectionRange& range : m_view->selectionModel()->selection())
        count += range.height();
    return count;
}

void FoundListPanel::showFoundCount()
{
    m_statusShowsSelection = false;
    m_status->setText(tr("Found %1 URL's.").arg(m_model->rowCount()) + statusTail());
}

void FoundListPanel::updateSelectionStatus()
{
    const int selected = selectedCount();
    m_statusShowsSelection = true;
    m_status->setText(tr("Found %1 URL's. You've selected %2 items.").arg(m_model->rowCount()).arg(selected)
                      + statusTail());
    m_addButton->setEnabled(selected > 0);
}

void FoundListPanel::selectAll()
{
    const int rows = m_shown->rowCount();
    if (m_model->rowCount() == 0)
        return;
    // The entries shown, in one range; the report then runs once.
    m_selectingInBulk = true;
    if (rows > 0)
        m_view->selectionModel()->select(
            QItemSelection(m_shown->index(0, 0), m_shown->index(rows - 1, FoundListModel::ColumnCount - 1)),
            QItemSelectionModel::Select);
    m_selectingInBulk = false;
    updateSelectionStatus();
}

void FoundListPanel::selectNone()
{
    if (m_model->rowCount() > 0) {
        m_selectingInBulk = true;
        m_view->selectionModel()->clearSelection();
        m_selectingInBulk = false;
        updateSelectionStatus();
    }
    m_addButton->setEnabled(false);
}

}  // namespace pm
