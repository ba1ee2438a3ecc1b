#include "gui/settingspage.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QRadioButton>
#include <QVBoxLayout>

namespace pm {

bool isTicked(const QCheckBox* box)
{
    return box->checkState() != Qt::Unchecked;
}

void setTicked(QCheckBox* box, bool on)
{
    box->setCheckState(on ? Qt::Checked : Qt::Unchecked);
}

void selectOption(const QList<QRadioButton*>& group, QRadioButton* which)
{
    for (QRadioButton* b : group) {
        b->setAutoExclusive(false);
        b->setChecked(b == which);
        b->setAutoExclusive(true);
    }
}

QGroupBox* optionGroup(const QString& title, const char* name, const QList<QRadioButton*>& options, QWidget* parent)
{
    auto* group = named(new QGroupBox(title, parent), name);
    auto* layout = new QVBoxLayout(group);
    for (QRadioButton* option : options) {
        option->setParent(group);
        layout->addWidget(option);
    }
    return group;
}

QGroupBox* framedPage(QWidget* page, const QString& title, const char* name)
{
    auto* frame = named(new QGroupBox(title, page), name);
    (new QVBoxLayout(page))->addWidget(frame);
    return frame;
}

namespace {
void collectTabStops(QLayoutItem* item, QList<QWidget*>& stops)
{
    if (QWidget* widget = item->widget()) {
        if (widget->focusPolicy() & Qt::TabFocus)
            stops << widget;
        for (QWidget* child : widget->findChildren<QWidget*>())
            if (child->focusPolicy() & Qt::TabFocus)
                stops << child;
    } else if (QLayout* layout = item->layout()) {
        for (int i = 0; i < layout->count(); ++i)
            collectTabStops(layout->itemAt(i), stops);
    }
}
}  // namespace

void setTabOrderByRows(const QGridLayout& grid)
{
    QList<QLayoutItem*> cells;
    for (int row = 0; row < grid.rowCount(); ++row)
        for (int column = 0; column < grid.columnCount(); ++column)
            if (QLayoutItem* cell = grid.itemAtPosition(row, column); cell && !cells.contains(cell))
                cells << cell;  // a cell that spans columns is met once
    QList<QWidget*> stops;
    for (QLayoutItem* cell : cells)
        collectTabStops(cell, stops);
    for (qsizetype i = 1; i < stops.size(); ++i)
        QWidget::setTabOrder(stops[i - 1], stops[i]);
}

}  // namespace pm
