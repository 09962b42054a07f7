// The picture of remoteconfig in docs/, taken from the real window against the simulated module
// as a person drives it (scripts/screenshots.sh runs it on a virtual display).
#include "benchsupport.h"
#include "simulatedmodule.h"
#include "widget.h"

#include <QDir>

using namespace Bench;

namespace {

// Chooses the command and its parameter by their texts, builds the frame and sends it.
bool send(WindowOf<Widget> &window, const QString &command, const QString &parameter)
{
    const int lines = window.logLines().size();
    window.child<QComboBox>("CMD_type")->setCurrentText(command);
    window.child<QComboBox>("NVID_IO")->setCurrentText(parameter);
    window.child<QPushButton>("build")->click();
    window.child<QPushButton>("sendDate")->click();
    return runUntil([&] { return window.logLines().size() > lines; }, 3000);
}

bool takeAll(const QDir &docs)
{
    WindowOf<Widget> window;
    SimulatedModule module;
    if (!module.start() || !window.openPort(module.devicePath()))
        return pictureFailed("cannot open the simulated module");
    // The start of the path, as once the click on the open button has taken the focus.
    window.child<QComboBox>("serialPortComboBox")->lineEdit()->setCursorPosition(0);
    auto *address = window.child<QLineEdit>("DesAddr");
    address->clear();
    QTest::keyClicks(address, QStringLiteral("00 01"));
    if (!send(window, QStringLiteral("参数读取"), QStringLiteral("无线频点"))
        || !send(window, QStringLiteral("参数读取"), QStringLiteral("PAN ID")))
        return pictureFailed("no reply logged");
    return takePicture(window.widget(), docs, QStringLiteral("remoteconfig.png"));
}

} // namespace

int main(int argc, char *argv[])
{
    return takePictures(argc, argv, takeAll);
}
