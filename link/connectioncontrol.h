#pragma once

#include <QString>

class MyThread;

// What a click on the connect button did.
enum class ConnectAction {
    Nothing, // no port name given, or a run is still opening
    Stopping, // a run was up: it was asked to stop; the window switches to its closed state
    Starting, // a run was started for the port name
};

// The connect button of both windows: stops the worker while its port is open, otherwise
// starts a run for portName. A run that is still ending is waited for first and a run that
// is still opening is left alone, so there are never two runs.
ConnectAction toggleConnection(MyThread &worker, const QString &portName);
