// The pictures of nodeconfig in docs/, taken from the real window against the simulated module
// as a person drives it (scripts/screenshots.sh runs it on a virtual display).
#include "benchsupport.h"
#include "differencesdialog.h"
#include "moduleprofile.h"
#include "profile.h"
#include "simulatedmodule.h"
#include "widget.h"

#include <QDir>
#include <QFile>
#include <QTabWidget>
#include <QTemporaryDir>

using namespace Bench;

namespace {

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The port box shows the start of the path, as once the click on the open button has taken the
// focus from it.
bool open(WindowDriver &window, SimulatedModule &module)
{
    if (!module.start() || !window.openPort(module.devicePath()))
        return false;
    window.child<QComboBox>(QStringLiteral("serialPortComboBox"))->lineEdit()->setCursorPosition(0);
    return true;
}

bool takeAll(const QDir &docs)
{
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("first.json"));
    const QString refused = dir.filePath(QStringLiteral("refused.json"));
    QString chosen;
    WindowOf<Widget> window;
    auto &widget = static_cast<Widget &>(window.widget());
    widget.setProfileFileChoosers({}, [&chosen](QWidget *, const QString &) { return chosen; });

    // Page 0 and the pins after "连接设备".
    SimulatedModule a;
    if (!open(window, a))
        return pictureFailed("cannot open the simulated module");
    window.child<QPushButton>("readDeviceInfo")->click();
    if (!runUntil([&] { return !window.child<QLineEdit>("ExtPanID")->text().isEmpty(); }, 3000))
        return pictureFailed("no device information");
    auto *pages = window.child<QTabWidget>("tabWidget");
    if (!takePicture(widget, docs, QStringLiteral("nodeconfig-basic.png")))
        return false;
    pages->setCurrentIndex(1);
    if (!takePicture(widget, docs, QStringLiteral("nodeconfig-api.png")))
        return false;
    pages->setCurrentIndex(0);

    // A profile of the first module onto one that differs in every parameter.
    if (!writeFile(first, ProfileFile::write(ModuleProfile::fromReply(a.deviceInfoReply()))))
        return pictureFailed("cannot write the profile");
    window.clickOpenButton();
    SimulatedModule b;
    b.changeEveryParameter();
    if (!open(window, b))
        return pictureFailed("cannot open the second module");
    chosen = first;
    window.child<QPushButton>("importProfile")->click();
    DifferencesDialog *review = nullptr;
    if (!runUntil([&] { return (review = widget.findChild<DifferencesDialog *>()); }, 3000))
        return pictureFailed("no review of the differences");
    if (!takePicture(*review, docs, QStringLiteral("nodeconfig-import-review.png")))
        return false;
    review->findChild<QPushButton *>(QStringLiteral("writeButton"))->click();
    if (!runUntil([&] { return window.status().endsWith(QStringLiteral("校验一致")); }, 10000))
        return pictureFailed("the import was not verified");
    if (!takePicture(widget, docs, QStringLiteral("nodeconfig-import-done.png")))
        return false;

    // A file the import refuses: a misspelt key and a PAN ID of five digits.
    if (!writeFile(refused, R"({"format": "cc2530-profile", "version": 1,
                                "parameters": {"chanel": 11, "panId": "12345"}})"))
        return pictureFailed("cannot write the refused profile");
    chosen = refused;
    window.child<QPushButton>("importProfile")->click();
    if (!window.status().startsWith(QStringLiteral("导入失败")))
        return pictureFailed("the file was not refused");
    return takePicture(widget, docs, QStringLiteral("nodeconfig-import-refused.png"));
}

} // namespace

int main(int argc, char *argv[])
{
    return takePictures(argc, argv, takeAll);
}
