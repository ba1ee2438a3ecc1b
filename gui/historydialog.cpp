#include "gui/historydialog.h"

#include "core/addresshistory.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace pm {

HistoryDialog::HistoryDialog(AddressHistory& history, QWidget* parent)
    : QDialog(parent), m_history(history), m_list(new QListWidget(this)),
      m_deleteSelected(new QPushButton(tr("&Delete Selected"), this))
{
    setObjectName(QStringLiteral("frmHistory"));
    setWindowTitle(tr("History"));

    auto* caption = new QLabel(tr("Current history &buffer"), this);
    caption->setObjectName(QStringLiteral("lblHistory"));
    caption->setBuddy(m_list);
    m_list->setObjectName(QStringLiteral("lstUrl"));
    m_list->setAccessibleName(tr("History"));
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_deleteSelected->setObjectName(QStringLiteral("cmdDelSel"));
    auto* deleteAll = new QPushButton(tr("Delete &all"), this);
    deleteAll->setObjectName(QStringLiteral("cmdDelAll"));
    auto* close = new QPushButton(tr("&Close"), this);
    close->setObjectName(QStringLiteral("cmdClose"));
    for (QPushButton* button : {m_deleteSelected, deleteAll, close})
        button->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_deleteSelected);
    buttons->addWidget(deleteAll);
    buttons->addStretch();
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(caption);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);
    resize(520, 360);

    // Deleting changes the selection too; only the user's clicks count.
    connect(m_list, &QListWidget::itemSelectionChanged, this, [this] {
        if (!m_deleting)
            updateDeleteButton();
    });
    connect(m_deleteSelected, &QPushButton::clicked, this, &HistoryDialog::deleteSelected);
    connect(deleteAll, &QPushButton::clicked, this, &HistoryDialog::deleteAll);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    reload();
}

void HistoryDialog::reload()
{
    m_deleting = true;
    m_list->clear();
    m_list->addItems(m_history.entries());
    m_deleting = false;
    m_deleteSelected->setEnabled(false);
}

void HistoryDialog::updateDeleteButton()
{
    m_deleteSelected->setEnabled(!m_list->selectedItems().isEmpty());
}

void HistoryDialog::deleteSelected()
{
    m_deleting = true;
    for (int row = m_list->count() - 1; row >= 0; --row) {
        if (m_list->item(row)->isSelected()) {
            m_history.remove(m_list->item(row)->text());
            delete m_list->takeItem(row);
        }
    }
    m_deleting = false;
}

void HistoryDialog::deleteAll()
{
    m_deleting = true;
    m_history.setEntries({});
    m_list->clear();
    m_deleting = false;
}

}  // namespace pm
