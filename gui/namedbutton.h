#pragma once
// A push button with the object name that tests and accessibility tools find
// it by. It never becomes the default button, so Enter in a list or a field
// does not press it by accident.

#include <QPushButton>
#include <QString>

namespace pm {

inline QPushButton* namedButton(const char* name, const QString& text, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    return button;
}

}  // namespace pm
