#include "widget.h"

#include "catalogue.h"
#include "differencesdialog.h"
#include "moduleprofile.h"
#include "profile.h"
#include "savefile.h"

#include "ui_widget.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>

#include <utility>

namespace {

const QString ProfileFilter = QStringLiteral("配置文件 (*.json);;所有文件 (*)");

QString documentsFolder()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return folder.isEmpty() ? QDir::homePath() : folder;
}

// The window's label of a parameter, without its colon: "节点类型", "PAN ID", "IO_3".
QString parameterName(const QString &key)
{
    const ProfileCatalogue::Entry *entry = ProfileCatalogue::find(key);
    QString label = entry ? entry->label : key;
    while (label.endsWith(u'：') || label.endsWith(u':'))
        label.chop(1);
    return label;
}

QString parameterNames(const QStringList &keys)
{
    QStringList names;
    for (const QString &key : keys)
        names << parameterName(key);
    return names.join(QStringLiteral("、"));
}

} // namespace

void Widget::setProfileFileChoosers(FileChooser save, FileChooser open)
{
    chooseExportFile = std::move(save);
    chooseImportFile = std::move(open);
}

void Widget::setProfileReplyEnd(ReplyEndMaker make)
{
    profileReplyEnd = std::move(make);
}

void Widget::showStatus(const QString &text, Tone tone, const QString &toolTip)
{
    static const QString Colours[] = { QStringLiteral("color: #c00000;"), QString(),
                                       QStringLiteral("color: #006000;") };
    ui->portStatus->setStyleSheet(Colours[int(tone)]);
    ui->portStatus->setText(text);
    ui->portStatus->setToolTip(toolTip.isEmpty() ? text : toolTip);
}

void Widget::exportReadFinished(const QByteArray &reply)
{
    ui->exportProfile->setEnabled(true);
    ui->importProfile->setEnabled(true);
    if (reply.isEmpty()) {
        showStatus(QStringLiteral("导出失败：模块无应答"), Tone::Fault);
        return;
    }
    showStatus(QString(), Tone::Busy);
    saveProfile(reply);
}

void Widget::on_exportProfile_clicked()
{
    // The module is read at every export, behind any write still pending: the file holds what
    // the module holds now, also what a setter wrote since the last read.
    ui->exportProfile->setEnabled(false);
    ui->importProfile->setEnabled(false);
    showStatus(QStringLiteral("正在读取模块…"), Tone::Busy);
    exportRead.start(worker.connection(), profileReplyEnd());
}

void Widget::saveProfile(const QByteArray &reply)
{
    const Profile profile = ModuleProfile::fromReply(reply);
    const QString suggested =
            QDir(documentsFolder())
                    .filePath(QStringLiteral("cc2530-%1.json").arg(profile.module.mac));
    const QString path = chooseExportFile
            ? chooseExportFile(this, suggested)
            : QFileDialog::getSaveFileName(this, QStringLiteral("导出配置"), suggested,
                                           ProfileFilter);
    if (path.isEmpty())
        return;
    const QString failure = saveWhole(path, ProfileFile::write(profile));
    if (!failure.isEmpty()) {
        showStatus(QStringLiteral("导出失败：") + failure, Tone::Fault,
                   QStringLiteral("导出失败：%1\n%2").arg(failure, path));
        return;
    }
    showStatus(QStringLiteral("已导出到 ") + QFileInfo(path).fileName(), Tone::Done, path);
}

void Widget::on_importProfile_clicked()
{
    // The import belongs to the connection open at the click; the port may close while the
    // file is chosen (endProfileTasks then says the import was interrupted).
    const quint32 connection = worker.connection();
    importFileChooserOpen = true;
    const QString path = chooseImportFile
            ? chooseImportFile(this, documentsFolder())
            : QFileDialog::getOpenFileName(this, QStringLiteral("导入配置"), documentsFolder(),
                                           ProfileFilter);
    if (!std::exchange(importFileChooserOpen, false) || path.isEmpty())
        return;
    // The whole file is checked before anything is sent.
    QStringList errors;
    const std::optional<Profile> wanted = ProfileFile::load(path, &errors);
    if (!wanted) {
        const QString more = errors.size() > 1
                ? QStringLiteral("（另有 %1 处）").arg(errors.size() - 1)
                : QString();
        showStatus(QStringLiteral("导入失败，未写入：") + errors.value(0) + more, Tone::Fault,
                   path + u'\n' + errors.join(u'\n'));
        return;
    }
    import = std::make_unique<ProfileImport>(worker, connection, *wanted, profileReplyEnd(), this);
    connect(import.get(), &ProfileImport::reviewReady, this, &Widget::reviewImport);
    connect(import.get(), &ProfileImport::progress, this, &Widget::importProgress);
    connect(import.get(), &ProfileImport::verified, this, &Widget::importVerified);
    connect(import.get(), &ProfileImport::unanswered, this, &Widget::importUnanswered);
    setImportRunning(true);
    showStatus(QStringLiteral("正在读取模块…"), Tone::Busy);
    import->start();
}

void Widget::reviewImport()
{
    const QList<ModuleProfile::Difference> &differences = import->differences();
    if (differences.isEmpty()) {
        endImport();
        showStatus(QStringLiteral("模块与文件一致，未写入"), Tone::Done);
        return;
    }
    QList<DifferencesDialog::Row> rows;
    for (const ModuleProfile::Difference &difference : differences) {
        const ProfileCatalogue::Entry &entry = *ProfileCatalogue::find(difference.key);
        // Bytes that stand for no value are shown as they are, not as the item they fall back to.
        const QString moduleText =
                difference.moduleValue.isEmpty() && !difference.moduleRaw.isEmpty()
                ? QStringLiteral("未知（%1）").arg(difference.moduleRaw)
                : ProfileCatalogue::windowText(entry, difference.moduleValue);
        rows.append({ parameterName(difference.key), moduleText,
                      ProfileCatalogue::windowText(entry, difference.wantedValue) });
    }
    showStatus(QStringLiteral("%1 项与文件不同").arg(differences.size()), Tone::Busy);
    // Window-modal and not waited for: the worker and the rest of the program go on.
    auto *dialog = new DifferencesDialog(rows, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    importReview = dialog;
    connect(dialog, &QDialog::finished, this, [this](int result) {
        if (!import || import->stage() != ProfileImport::Stage::Reviewing)
            return;
        if (result == QDialog::Accepted) {
            importProgress(import->differences().first().key);
            import->write();
            return;
        }
        endImport();
        showStatus(QStringLiteral("已取消导入，未写入"), Tone::Done);
    });
    dialog->open();
}

void Widget::importProgress(const QString &nextKey)
{
    const QString done = QStringLiteral("%1/%2").arg(import->written()).arg(import->total());
    if (nextKey.isEmpty())
        showStatus(QStringLiteral("已发送 %1，正在读回校验…").arg(done), Tone::Busy);
    else
        showStatus(QStringLiteral("正在写入 %1：%2").arg(done, parameterName(nextKey)), Tone::Busy);
}

void Widget::importVerified(const QStringList &notTaken)
{
    const int written = import->written();
    endImport();
    if (notTaken.isEmpty()) {
        showStatus(QStringLiteral("已写入 %1 项，校验一致").arg(written), Tone::Done);
        return;
    }
    showStatus(QStringLiteral("已发送 %1 项，%2 项未生效：%3")
                       .arg(written)
                       .arg(notTaken.size())
                       .arg(parameterNames(notTaken)),
               Tone::Fault);
}

void Widget::importUnanswered(ProfileImport::Stage stage)
{
    const int written = import->written();
    endImport();
    if (stage == ProfileImport::Stage::Reading)
        showStatus(QStringLiteral("导入失败：模块无应答，未写入"), Tone::Fault);
    else
        showStatus(QStringLiteral("已发送 %1 项，读回时模块无应答，未校验").arg(written),
                   Tone::Fault);
}

void Widget::endImport()
{
    // Mostly reached from one of the import's own signals: it is deleted once that is over.
    import->stop();
    import.release()->deleteLater();
    setImportRunning(false);
}

void Widget::setImportRunning(bool running)
{
    const QList<QComboBox *> lists = parameterLists();
    const QList<QLineEdit *> edits = parameterEdits();
    QList<QWidget *> frozen(lists.begin(), lists.end());
    frozen += QList<QWidget *>(edits.begin(), edits.end());
    frozen << ui->readDeviceInfo << ui->pushButton << ui->cleanDeviceInfo << ui->exportProfile
           << ui->importProfile;
    for (QWidget *widget : std::as_const(frozen))
        widget->setEnabled(!running);
}

QString Widget::endProfileTasks()
{
    exportRead.cancel();
    const QString nothingWritten = QStringLiteral("导入中断：未写入");
    if (std::exchange(importFileChooserOpen, false))
        return nothingWritten;
    if (!import)
        return QString();
    const ProfileImport::Stage stage = import->stage();
    const int written = import->written();
    const int total = import->total();
    endImport();
    // Once the import has ended, the review's own handler finds nothing left to do.
    if (importReview)
        importReview->reject();
    if (stage == ProfileImport::Stage::Writing || stage == ProfileImport::Stage::Verifying)
        return QStringLiteral("导入中断：已发送 %1/%2 项，未校验").arg(written).arg(total);
    return nothingWritten;
}
