#include "commandline.h"

#include <QCoreApplication>
#include <QLoggingCategory>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("cc2530ctl"));
    // The link's protocol diagnostics are for the windows' debug output, not for scripts.
    if (!qEnvironmentVariableIsSet("CC2530CTL_DEBUG"))
        QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
    return Ctl::run(QCoreApplication::arguments());
}
