#include "common/modal.h"

#include <QDialog>

namespace pm {

namespace {
ModalRunner& currentRunner()
{
    static ModalRunner runner;
    return runner;
}
}  // namespace

void runModal(QDialog& dialog)
{
    if (currentRunner())
        currentRunner()(dialog);
    else
        dialog.exec();
}

void setModalRunner(ModalRunner runner)
{
    currentRunner() = std::move(runner);
}

}  // namespace pm
