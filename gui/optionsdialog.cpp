#include "gui/optionsdialog.h"

#include "core/appcontext.h"
#include "gui/folderchooser.h"
#include "gui/helpkey.h"
#include "gui/optionspages.h"
#include "gui/otherpage.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QShortcut>
#include <QTabWidget>
#include <QVBoxLayout>

namespace pm {

OptionsDialog::OptionsDialog(AppContext& context, QWidget* parent)
    : QDialog(parent),
      m_context(context),
      m_tabs(new QTabWidget(this)),
      m_outputPage(new OutputPage(context.errors, context.ui)),
      m_loggingPage(new LoggingPage(context.errors, context.ui)),
      m_otherPage(new OtherPage(context.errors))
{
    setObjectName(QStringLiteral("frmOptions"));
    setWindowTitle(tr("Options"));
    m_tabs->setObjectName(QStringLiteral("tbsOptions"));
    m_tabs->addTab(m_outputPage, tr("Output"));
    m_tabs->setTabToolTip(Output, tr("Set Options for File Output path"));
    m_tabs->addTab(m_loggingPage, tr("Logging"));
    m_tabs->setTabToolTip(Logging, tr("Set Options for log file"));
    m_tabs->addTab(m_otherPage, tr("Other"));
    m_tabs->setTabToolTip(Other, tr("Set other Options"));

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QDialogButtonBox::Ok);
    QPushButton* cancel = buttons->addButton(QDialogButtonBox::Cancel);
    QPushButton* applyButton = buttons->addButton(QDialogButtonBox::Apply);
    ok->setObjectName(QStringLiteral("cmdOK"));
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    applyButton->setObjectName(QStringLiteral("cmdApply"));
    for (QPushButton* button : {ok, cancel, applyButton})
        button->setAutoDefault(false);
    // OK and Cancel are Enter and Esc; Alt+A is taken by the error options.
    applyButton->setText(tr("Appl&y"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs, 1);
    layout->addWidget(buttons);

    connect(ok, &QPushButton::clicked, this, &OptionsDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &OptionsDialog::reject);
    connect(applyButton, &QPushButton::clicked, this, &OptionsDialog::apply);
    // Ctrl+Tab anywhere in the dialog goes to the next page, round.
    auto* nextPage = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Tab), this);
    connect(nextPage, &QShortcut::activated, this,
            [this] { m_tabs->setCurrentIndex((m_tabs->currentIndex() + 1) % m_tabs->count()); });
    addHelpKey(this, [this] {
        static const char* const sections[] = {"options-output", "options-logging", "options-other"};
        emit helpRequested(QLatin1String(sections[currentPage()]));
    });
    for (FolderChooser* chooser : {m_outputPage->folder(), m_loggingPage->folder()})
        connect(chooser, &FolderChooser::pathBoxLeft, this, [this, chooser] { pathBoxLeft(chooser); });
}

QList<SettingsPage*> OptionsDialog::pages() const
{
    return {m_outputPage, m_loggingPage, m_otherPage};
}

void OptionsDialog::loadFromSettings()
{
    for (SettingsPage* page : pages())
        page->load(m_context.settings);
    showPage(Output);
}

void OptionsDialog::showPage(Page page)
{
    m_tabs->setCurrentIndex(page);
}

OptionsDialog::Page OptionsDialog::currentPage() const
{
    return Page(m_tabs->currentIndex());
}

PathCheckInput OptionsDialog::pathCheckInput() const
{
    return {m_outputPage->folder()->path(), m_loggingPage->folder()->path(), m_loggingPage->logFileName(),
            m_otherPage->askBeforeCreating(), m_loggingPage->csvWanted()};
}

bool OptionsDialog::checkPaths()
{
    const PathDecline declined = pm::checkPaths(pathCheckInput(), m_context.errors, m_context.ui);
    if (declined == PathDecline::None)
        return true;
    showPage(declined == PathDecline::LogFolder ? Logging : Output);
    return false;
}

void OptionsDialog::pathBoxLeft(QWidget* chooser)
{
    if (m_checkingPaths)
        return;  // a question box of the check itself took the focus
    m_checkingPaths = true;
    checkPaths();
    // A folder that still does not exist leaves the list where it was.
    static_cast<FolderChooser*>(chooser)->showBoxFolder();
    m_checkingPaths = false;
}

bool OptionsDialog::apply()
{
    if (!checkPaths())
        return false;
    for (SettingsPage* page : pages())
        page->save(m_context.settings);
    emit applied();
    return true;
}

void OptionsDialog::accept()
{
    if (apply())
        QDialog::accept();
}

}  // namespace pm
