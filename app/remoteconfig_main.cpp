#include "widget.h"

#include <QApplication>
#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("cc2530-remoteconfig"));
    Widget window;
    window.show();
    window.setWindowTitle(QCoreApplication::translate("toplevel", "CC2530远程配置工具"));
    return app.exec();
}
