#include "windows/historywindow.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace pm {

frmHistory::frmHistory(QComboBox* addressBox, QWidget* parent) : QDialog(parent), m_addressBox(addressBox)
{
    setObjectName(QStringLiteral("frmHistory"));
    setWindowTitle(QStringLiteral("History"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    lblHistory = new QLabel(QStringLiteral("Current history buffer"), this);
    lblHistory->setObjectName(QStringLiteral("lblHistory"));
    lstUrl = new QListWidget(this);
    lstUrl->setObjectName(QStringLiteral("lstUrl"));
    lstUrl->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lblHistory->setBuddy(lstUrl);
    cmdDelSel = new QPushButton(QStringLiteral("Delete Selected"), this);
    cmdDelSel->setObjectName(QStringLiteral("cmdDelSel"));
    cmdDelAll = new QPushButton(QStringLiteral("Delete all"), this);
    cmdDelAll->setObjectName(QStringLiteral("cmdDelAll"));
    cmdClose = new QPushButton(QStringLiteral("Close"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    for (QPushButton* b : {cmdDelSel, cmdDelAll, cmdClose})
        b->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdDelSel);
    buttons->addWidget(cmdDelAll);
    buttons->addStretch();
    buttons->addWidget(cmdClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblHistory);
    layout->addWidget(lstUrl, 1);
    layout->addLayout(buttons);
    resize(520, 360);

    connect(lstUrl, &QListWidget::itemSelectionChanged, this, [this] {
        if (!m_deleting)
            lstUrl_Click();
    });
    connect(cmdDelSel, &QPushButton::clicked, this, &frmHistory::cmdDelSel_Click);
    connect(cmdDelAll, &QPushButton::clicked, this, &frmHistory::cmdDelAll_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmHistory::cmdClose_Click);

    Form_Load();
}

void frmHistory::Form_Load()
{
    m_deleting = true;
    lstUrl->clear();
    m_deleting = false;
    for (int i = 0; i < m_addressBox->count(); ++i)
        lstUrl->insertItem(i, m_addressBox->itemText(i));
    cmdDelSel->setEnabled(false);
}

void frmHistory::lstUrl_Click()
{
    bool any = false;
    for (int i = 0; i < lstUrl->count() && !any; ++i)
        any = lstUrl->item(i)->isSelected();
    cmdDelSel->setEnabled(any);
}

void frmHistory::removeFromAddressBox(const QString& text)
{
    for (int j = 0; j < m_addressBox->count(); ++j) {
        if (m_addressBox->itemText(j).compare(text, Qt::CaseInsensitive) == 0) {
            // Removing an entry is no choice of an address: the box's text
            // stays and nothing is navigated.
            const QString shown = m_addressBox->currentText();
            const QSignalBlocker blocker(m_addressBox);
            m_addressBox->removeItem(j);
            if (m_addressBox->isEditable())
                m_addressBox->setEditText(shown);
            return;
        }
    }
}

void frmHistory::cmdDelSel_Click()
{
    // Deleting changes the selection; only a click in the list updates the
    // button.
    m_deleting = true;
    int i = 0;
    while (i < lstUrl->count()) {
        if (lstUrl->item(i)->isSelected()) {
            removeFromAddressBox(lstUrl->item(i)->text());
            delete lstUrl->takeItem(i);
        } else {
            ++i;
        }
    }
    m_deleting = false;
}

void frmHistory::cmdDelAll_Click()
{
    m_deleting = true;
    {
        const QSignalBlocker blocker(m_addressBox);
        m_addressBox->clear();
    }
    lstUrl->clear();
    m_deleting = false;
}

void frmHistory::cmdClose_Click()
{
    accept();
}

}  // namespace pm
