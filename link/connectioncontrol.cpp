#include "connectioncontrol.h"

#include "mythread.h"

#include <QDebug>

ConnectAction toggleConnection(MyThread &worker, const QString &portName)
{
    if (portName.isEmpty())
        return ConnectAction::Nothing;

    if (worker.comOpened()) {
        qDebug() << "Zarno:"
                 << "thread1 stoping";
        worker.requestStop();
        return ConnectAction::Stopping;
    }

    if (worker.isRunning()) {
        // A run that is still opening reports its result by itself.
        if (!worker.stopRequested())
            return ConnectAction::Nothing;
        // A stopped run closes its port and returns at once; let it end before starting anew.
        worker.wait();
    }

    worker.clearStop();
    qDebug() << "Zarno:"
             << "thread starting";
    qDebug() << portName;
    worker.setComName(portName);
    worker.setComOpened(false);
    worker.start(QThread::InheritPriority);
    return ConnectAction::Starting;
}
