// The picture of remoteconfig in docs/, taken from the real window against the simulated module
// as a person drives it (scripts/screenshots.sh runs it on a virtual display).
#include "benchsupport.h"
#include "simulatedmodule.h"
#include "translations.h"
#include "widget.h"

#include <QApplication>
#include <QDir>

#include <cstdio>

using namespace Bench;

namespace {

bool fail(const char *what)
{
    std::fprintf(stderr, "screenshots: %s\n", what);
    return false;
}

// Chooses the command and its parameter by their texts, builds the frame and sends it.
bool send(WindowOf<Widget> &window, const QString &command, const QString &parameter)
{
    auto *log = window.log();
    const int lines = window.logLines().size();
    window.child<QComboBox>("CMD_type")->setCurrentText(command);
    window.child<QComboBox>("NVID_IO")->setCurrentText(parameter);
    window.child<QPushButton>("build")->click();
    window.child<QPushButton>("sendDate")->click();
    return runUntil([&] { return log && window.logLines().size() > lines; }, 3000);
}

bool takeAll(const QDir &docs)
{
    WindowOf<Widget> window;
    SimulatedModule module;
    if (!module.start() || !window.openPort(module.devicePath()))
        return fail("cannot open the simulated module");
    // The start of the path, as once the click on the open button has taken the focus.
    window.child<QComboBox>("serialPortComboBox")->lineEdit()->setCursorPosition(0);
    auto *address = window.child<QLineEdit>("DesAddr");
    address->clear();
    QTest::keyClicks(address, QStringLiteral("00 01"));
    if (!send(window, QStringLiteral("参数读取"), QStringLiteral("无线频点"))
        || !send(window, QStringLiteral("参数读取"), QStringLiteral("PAN ID")))
        return fail("no reply logged");
    runEventLoop(300); // repainted
    const QString path = docs.filePath(QStringLiteral("remoteconfig.png"));
    if (!window.widget().grab().save(path))
        return fail("cannot save the picture");
    std::printf("%s\n", qPrintable(path));
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    Translations::install(QStringLiteral("zh_CN"));
    const QStringList arguments = QCoreApplication::arguments();
    return takeAll(QDir(arguments.value(1, QStringLiteral(".")))) ? 0 : 1;
}
