#include "widget.h"

#include <QApplication>
#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("cc2530-nodeconfig"));
    Widget window;
    window.show();
    window.setWindowTitle(QCoreApplication::translate("toplevel", "CC2530全功能配置工具V1.4"));
    return app.exec();
}
