#pragma once
// The History window: a copy of the address box's list, from which the user
// deletes selected addresses or all of them. Every deletion is applied to the
// address box too, which is the history the configuration file keeps.

#include <QDialog>

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace pm {

class frmHistory : public QDialog {
    Q_OBJECT
public:
    // `addressBox` is the main window's address box.
    explicit frmHistory(QComboBox* addressBox, QWidget* parent = nullptr);

    // Handlers. Form_Load fills the list anew from the address box (the
    // constructor runs it; run it again before each showing).
    void Form_Load();
    void lstUrl_Click();
    void cmdDelSel_Click();
    void cmdDelAll_Click();
    void cmdClose_Click();

    QLabel* lblHistory = nullptr;
    QListWidget* lstUrl = nullptr;
    QPushButton* cmdDelSel = nullptr;
    QPushButton* cmdDelAll = nullptr;
    QPushButton* cmdClose = nullptr;

private:
    // Removes the first entry equal to `text` without regard to case.
    void removeFromAddressBox(const QString& text);

    QComboBox* m_addressBox;
    bool m_deleting = false;
};

}  // namespace pm
