#pragma once

#include <QStringList>

// Names of the serial ports the system enumerates, in its order. With describe set, each
// port's name and description go to the debug output, as the rescan button shows them.
QStringList availablePortNames(bool describe = false);
