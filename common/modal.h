#pragma once
// Shows one of the program's own windows modally. The program runs the
// window's exec(); tests install a runner that inspects the window instead,
// so nothing blocks.

#include <functional>

class QDialog;

namespace pm {

using ModalRunner = std::function<void(QDialog&)>;

// Runs `dialog` modally through the runner in force.
void runModal(QDialog& dialog);
// Installs `runner`; an empty one restores exec().
void setModalRunner(ModalRunner runner);

}  // namespace pm
