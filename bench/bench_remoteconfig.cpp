#include "benchsupport.h"
#include "widget.h"

#include <QComboBox>

using namespace Bench;

int main(int argc, char *argv[])
{
    Program program;
    program.name = QStringLiteral("remoteconfig");
    program.title = QStringLiteral("CC2530远程配置工具");
    program.makeWindow = [] { return std::make_unique<WindowOf<Widget>>(); };
    program.streamBaud = 115200;
    program.prepareStream = [](Window &window) {
        auto *rates = window.child<QComboBox>("baudRateBox");
        rates->setCurrentIndex(rates->findText(QStringLiteral("115200")));
    };
    program.parseLogLine = WindowDriver::dumpBytes;
    return run(argc, argv, program);
}
