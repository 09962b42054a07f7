#include "translations.h"
#include "widget.h"

#include <QApplication>
#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // The windows speak Chinese; so do the reasons the libraries give them.
    Translations::install(QStringLiteral("zh_CN"));
    QGuiApplication::setDesktopFileName(QStringLiteral("cc2530-remoteconfig"));
    Widget window;
    window.show();
    window.setWindowTitle(QCoreApplication::translate("toplevel", "CC2530远程配置工具"));
    return app.exec();
}
