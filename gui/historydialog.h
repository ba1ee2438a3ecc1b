#pragma once
// The History window: a copy of the address history from which the user
// deletes selected addresses or all of them. Every deletion applies to the
// history itself, which the configuration file keeps.

#include <QDialog>

class QListWidget;
class QPushButton;

namespace pm {

class AddressHistory;

class HistoryDialog : public QDialog {
    Q_OBJECT
public:
    explicit HistoryDialog(AddressHistory& history, QWidget* parent = nullptr);

    // Fills the list anew from the history; run before each showing.
    void reload();

private:
    void deleteSelected();
    void deleteAll();
    void updateDeleteButton();

    AddressHistory& m_history;
    QListWidget* m_list;
    QPushButton* m_deleteSelected;
    bool m_deleting = false;
};

}  // namespace pm
