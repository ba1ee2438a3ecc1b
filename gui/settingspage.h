#pragma once
// What every page of the Options dialog has in common: it fills its controls
// from the settings (load) and writes them back (save). A page whose value
// can fail to convert reports it itself, under the routine the user's command
// runs; the others only copy values.
//
// Below it, the small helpers the pages build their controls with.

#include <QList>
#include <QWidget>

class QCheckBox;
class QGridLayout;
class QGroupBox;
class QRadioButton;

namespace pm {

class Settings;

class SettingsPage : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;

    virtual void load(const Settings& settings) = 0;
    virtual void save(Settings& settings) const = 0;
};

template <typename T>
T* named(T* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

bool isTicked(const QCheckBox* box);
void setTicked(QCheckBox* box, bool on);
// Selects `which` among `group` (nullptr: none of them).
void selectOption(const QList<QRadioButton*>& group, QRadioButton* which);
// A group box with its options stacked.
QGroupBox* optionGroup(const QString& title, const char* name, const QList<QRadioButton*>& options, QWidget* parent);
// The page's contents inside one framed group.
QGroupBox* framedPage(QWidget* page, const QString& title, const char* name);
// Tab goes through the grid's cells row by row, left to right, and through
// each cell's controls in the order they were made.
void setTabOrderByRows(const QGridLayout& grid);

}  // namespace pm
