#pragma once

#include <QString>

class QComboBox;

// Gives a drop-down box a name that says what it is for, and a description.
// A screen reader hears that name, with the value beside it, on every window
// system (on some, a box is otherwise named by the value it shows).
void nameComboBox(QComboBox &box, const QString &name, const QString &description = QString());
