#include "commandline.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("cc2530ctl"));
    return Ctl::run(QCoreApplication::arguments());
}
