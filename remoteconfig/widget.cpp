#include "widget.h"

#include "connectioncontrol.h"
#include "portlist.h"
#include "remotecatalogue.h"
#include "remoteframe.h"
#include "rxlog.h"
#include "savefile.h"
#include "ui_widget.h"

#include <QComboBox>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTime>

using RemoteCatalogue::Command;

Widget::Widget(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::Widget)
    , worker(LinkSettings::remoteConfig())
{
    ui->setupUi(this);
    // The log holds digits, capitals, blanks and one CJK label: nothing that needs shaping,
    // which would otherwise be most of the cost of laying out and painting a line.
    QFont logFont = ui->RssiTestDisplay->font();
    logFont.setStyleStrategy(
            QFont::StyleStrategy(logFont.styleStrategy() | QFont::PreferNoShaping));
    ui->RssiTestDisplay->setFont(logFont);
    // Every repaint of the log moves its scroll bar. Filled, the bar covers what is behind it,
    // so that the group box around the log is not painted again with it.
    ui->RssiTestDisplay->verticalScrollBar()->setAutoFillBackground(true);
    logEditBlock = QTextCursor(ui->RssiTestDisplay->document());
    logRepaint.setSingleShot(true);
    logRepaint.setInterval(LogRepaintMs);
    connect(&logRepaint, &QTimer::timeout, this, [this] {
        flushLog();
        ui->RssiTestDisplay->viewport()->setUpdatesEnabled(true);
    });
    // At 12 pt a wide default family does not fit "115200" into the 75-pixel list.
    QFont rateFont = ui->baudRateBox->font();
    rateFont.setStretch(QFont::Condensed);
    ui->baudRateBox->setFont(rateFont);
    // The narrow selectors cut their longer entries; the tool tip shows the whole text.
    for (QComboBox *row : { ui->CMD_type, ui->NVID_IO, ui->Type_IOport, ui->comboBox })
        connect(row, &QComboBox::currentTextChanged, row, &QWidget::setToolTip);

    connect(ui->NVID_IO, &QComboBox::currentIndexChanged, this,
            [this](int index) { on_NVID_IO_currentIndexChanged(ui->NVID_IO->itemText(index)); });
    connect(ui->Type_IOport, &QComboBox::currentIndexChanged, this, [this](int index) {
        on_Type_IOport_currentIndexChanged(ui->Type_IOport->itemText(index));
    });

    QComboBox *ports = ui->serialPortComboBox;
    connect(ports, &QComboBox::currentTextChanged, this, &Widget::showPortTip);
    // A name wider than the box shows its start once it is picked or no longer being typed.
    const auto showStart = [ports] { ports->lineEdit()->setCursorPosition(0); };
    connect(ports, &QComboBox::currentIndexChanged, ports, showStart);
    connect(ports->lineEdit(), &QLineEdit::editingFinished, ports, showStart);
    refreshPorts(false);
    connect(&portWatcher, &PortWatcher::portsChanged, this, [this] { refreshPorts(false); });
    worker.clearTxData();
    fillPortsParameters();
    worker.setComOpened(false);

    connect(&worker, &MyThread::comdelayout, this, &Widget::displayRxData);
    connect(&worker, &MyThread::comOpenSuccess, this, &Widget::isComOpen);
    connect(&worker, &MyThread::comOpenFailed, this, &Widget::showOpenFailure);
    connect(&worker, &MyThread::comLost, this, &Widget::comLost);
    // Made after the lists are filled: the initial 38400 is the worker's own default.
    connect(this, &Widget::baudrate, &worker, &MyThread::baudRateChange);
}

Widget::~Widget()
{
    worker.requestStop();
    worker.wait();
    flushLog();
    delete ui;
}

void Widget::fillPortsParameters()
{
    for (const QString &rate : RemoteCatalogue::baudRates())
        ui->baudRateBox->addItem(rate, rate.toInt());
    ui->baudRateBox->setCurrentIndex(2);

    ui->CMD_type->addItems(RemoteCatalogue::commands());

    ui->ParityBox->addItems(RemoteCatalogue::parities());
    ui->ParityBox->setCurrentIndex(0);

    ui->stopBitsBox->addItems(RemoteCatalogue::stopBits());
    ui->stopBitsBox->setCurrentIndex(0);

    ui->NVID_IO->setEnabled(false);
}

void Widget::on_fresh_Button_clicked()
{
    refreshPorts(true);
}

void Widget::refreshPorts(bool describe)
{
    // While a port is open the list is disabled and goes on showing that port.
    QComboBox *ports = ui->serialPortComboBox;
    refillPortBox(*ports, availablePorts(describe), !ports->isEnabled());
    if (!ports->lineEdit()->hasFocus())
        ports->lineEdit()->setCursorPosition(0);
    showPortTip();
}

void Widget::showPortTip()
{
    ui->serialPortComboBox->setToolTip(portBoxToolTip(*ui->serialPortComboBox));
}

void Widget::on_openCom_Button_clicked()
{
    ui->portStatus->clear();
    if (toggleConnection(worker, ui->serialPortComboBox->currentText()) == ConnectAction::Stopping)
        isComOpen(false);
}

void Widget::isComOpen(bool success)
{
    qDebug() << "到槽函数了";
    // A close clicked between the open and this queued report has already closed the window.
    if (success && worker.stopRequested())
        return;
    if (success) {
        ui->serialPortComboBox->setEnabled(false);
        ui->openCom_Button->setText(QStringLiteral("关闭串口"));
    } else {
        qDebug() << "Zarno:"
                 << "com close";
        ui->serialPortComboBox->setEnabled(true);
        ui->openCom_Button->setText(QStringLiteral("打开串口"));
    }
}

void Widget::showOpenFailure(const QString &reason)
{
    isComOpen(false);
    ui->portStatus->setText(QStringLiteral("打开失败：") + reason);
}

void Widget::comLost(const QString &reason)
{
    isComOpen(false);
    ui->portStatus->setText(QStringLiteral("连接断开：") + reason);
}

void Widget::on_baudRateBox_currentIndexChanged(int index)
{
    emit baudrate(index);
}

// Empties and disables the inputs to the right of NVID_IO, with their captions, in this order.
void Widget::resetValueInputs()
{
    ui->Type_IOport_label->clear();
    ui->Type_IOport->clear();
    ui->Type_IOport->setEnabled(false);
    ui->function_label->clear();
    ui->function->clear();
    ui->function->setEnabled(false);
    ui->comboBox->clear();
    ui->comboBox->setEnabled(false);
}

void Widget::on_CMD_type_currentIndexChanged(int index)
{
    // Each clear of a filled list runs its handler with an empty text.
    ui->canshu->clear();
    ui->NVID_IO->clear();
    ui->NVID_IO->setEnabled(false);
    ui->NVID_IO_Label->clear();
    resetValueInputs();

    switch (Command(index)) {
    case Command::WriteParameter:
    case Command::ReadParameter:
        ui->NVID_IO->setEnabled(true);
        ui->canshu->setText(QStringLiteral("参数名称"));
        ui->NVID_IO->clear();
        ui->NVID_IO->addItems(RemoteCatalogue::parameters());
        break;
    case Command::LevelOutput:
        ui->NVID_IO->setEnabled(true);
        ui->canshu->setText(QStringLiteral("管脚名称"));
        ui->comboBox->setEnabled(true);
        ui->NVID_IO->clear();
        ui->NVID_IO->addItems(RemoteCatalogue::pins());
        break;
    case Command::PwmOutput:
        ui->NVID_IO->setEnabled(true);
        ui->canshu->setText(QStringLiteral("管脚名称"));
        ui->NVID_IO->clear();
        ui->NVID_IO->addItems(RemoteCatalogue::pwmPins());
        break;
    case Command::SerialData:
        ui->canshu->clear();
        ui->NVID_IO->setEnabled(false);
        ui->function_label->setText(QStringLiteral("串口数据"));
        ui->function->setEnabled(true);
        break;
    case Command::EraseNetwork:
    case Command::Restart:
    case Command::CollectData:
        ui->canshu->clear();
        ui->NVID_IO->setEnabled(false);
        break;
    default:
        break;
    }
}

// Leaves canshu alone: it runs nested inside the refill that follows the caption.
void Widget::on_NVID_IO_currentIndexChanged(const QString &arg1)
{
    resetValueInputs();

    switch (RemoteCatalogue::parameterKind(arg1)) {
    case RemoteCatalogue::ParameterKind::IoConfig: {
        ui->function->setEnabled(false);
        ui->Type_IOport_label->setText(QStringLiteral("管脚号"));
        ui->Type_IOport->setEnabled(true);
        ui->Type_IOport->clear();
        ui->Type_IOport->addItems(RemoteCatalogue::pins());
        ui->Type_IOport->setCurrentIndex(0);
        ui->comboBox->clear();
        ui->comboBox->setEnabled(true);
        ui->comboBox->addItems(RemoteCatalogue::pinFunctions(RemoteCatalogue::pins().first()));
        break;
    }
    case RemoteCatalogue::ParameterKind::Choice:
        ui->function->setEnabled(false);
        ui->function_label->clear();
        ui->comboBox->setEnabled(false);
        ui->Type_IOport_label->setText(arg1);
        ui->Type_IOport->setEnabled(true);
        ui->Type_IOport->clear();
        ui->Type_IOport->addItems(RemoteCatalogue::choices(arg1));
        break;
    case RemoteCatalogue::ParameterKind::Text:
        ui->comboBox->setEnabled(false);
        ui->function->setEnabled(true);
        ui->Type_IOport_label->clear();
        ui->Type_IOport->setEnabled(false);
        ui->function_label->setText(arg1);
        ui->function->setEnabled(true);
        break;
    case RemoteCatalogue::ParameterKind::NotAParameter:
        break;
    }

    switch (RemoteCatalogue::command(ui->CMD_type->currentText())) {
    case Command::ReadParameter:
        // A read needs no value: only the parameter stays selectable.
        ui->comboBox->setEnabled(false);
        ui->function->setEnabled(false);
        ui->Type_IOport_label->clear();
        ui->Type_IOport->clear();
        ui->Type_IOport->setEnabled(false);
        break;
    case Command::LevelOutput:
        ui->comboBox->setEnabled(true);
        ui->comboBox->clear();
        ui->comboBox->addItems(RemoteCatalogue::levels());
        break;
    case Command::PwmOutput:
        ui->function_label->setText(QStringLiteral("占空比"));
        ui->function->setEnabled(true);
        break;
    default:
        break;
    }
}

void Widget::on_Type_IOport_currentIndexChanged(const QString &arg1)
{
    const QStringList functions = RemoteCatalogue::pinFunctions(arg1);
    if (functions.isEmpty())
        return;
    ui->comboBox->clear();
    ui->comboBox->addItems(functions);
}

RemoteFrame::Selection Widget::currentSelection() const
{
    RemoteFrame::Selection selection;
    selection.command = ui->CMD_type->currentText();
    selection.address = ui->DesAddr->text();
    selection.parameterIndex = ui->NVID_IO->currentIndex();
    selection.parameterText = ui->NVID_IO->currentText();
    selection.choiceIndex = ui->Type_IOport->currentIndex();
    selection.choiceText = ui->Type_IOport->currentText();
    selection.option = ui->comboBox->currentText();
    selection.value = ui->function->text();
    return selection;
}

void Widget::on_build_clicked()
{
    const RemoteFrame::Result frame = RemoteFrame::build(currentSelection());
    if (frame.isRefused()) {
        // The line and the last built frame stay as they were.
        qDebug() << "build refused:" << frame.refusal;
        ui->buildStatus->setText(frame.refusal);
        return;
    }
    ui->buildStatus->clear();
    frameBytes = frame.bytes;
    frameText = frame.text;
    ui->lineEdit->setText(frameText);
}

void Widget::on_lineEdit_textChanged(const QString &arg1)
{
    frameText = arg1;
    ui->lineEdit->setText(frameText);
}

// Sends the last built frame, not the line's text: hand edits after a build change nothing.
void Widget::on_sendDate_clicked()
{
    if (ui->lineEdit->text().isEmpty())
        return;
    worker.submit(frameBytes);
}

void Widget::displayRxData()
{
    const QByteArray received = worker.takeRxData();
    qDebug() << "receive num:" << received.size();
    QTextBrowser *log = ui->RssiTestDisplay;
    // A stream arrives in a delivery every millisecond or two, and laying out and painting
    // each line on its own costs more than all the rest. So the log's text is repainted at
    // most every LogRepaintMs, and until then its document stays inside one edit block: every
    // line is in the text at once, the layout runs once for all of them. The first line of a
    // document is laid out on its own (a change that is the whole document is laid out in
    // steps).
    if (!logRepaint.isActive()) {
        log->viewport()->setUpdatesEnabled(false);
        logRepaint.start();
    }
    if (!logHeld && !log->document()->isEmpty()) {
        logEditBlock.beginEditBlock();
        logHeld = true;
    }
    log->append(RxLog::dumpLine(logTime(), received));
}

// The local time costs a look at the time zone file each time it is asked for; within one
// second of the system clock it is the same, so it is asked for once a second.
QTime Widget::logTime()
{
    const qint64 second = QDateTime::currentMSecsSinceEpoch() / 1000;
    if (second != logSecond) {
        logSecond = second;
        logSecondTime = QDateTime::fromSecsSinceEpoch(second).time();
    }
    return logSecondTime;
}

void Widget::flushLog()
{
    if (!logHeld)
        return;
    // The scroll range grows with the layout: a log that showed its end keeps showing it.
    QScrollBar *bar = ui->RssiTestDisplay->verticalScrollBar();
    const bool atEnd = bar->value() >= bar->maximum();
    logHeld = false;
    logEditBlock.endEditBlock();
    if (atEnd)
        bar->setValue(bar->maximum());
}

void Widget::on_clean_clicked()
{
    flushLog();
    ui->RssiTestDisplay->clear();
}

bool Widget::saveLog(const QString &path)
{
    QByteArray text = ui->RssiTestDisplay->toPlainText().toUtf8();
    if (!text.isEmpty())
        text += '\n';
    const QString failure = saveWhole(path, text);
    if (!failure.isEmpty()) {
        // The reason in the room beside the button, and whole in its tool tip.
        const QString reason = QStringLiteral("保存失败：") + failure;
        ui->logStatus->setText(ui->logStatus->fontMetrics().elidedText(reason, Qt::ElideRight,
                                                                       ui->logStatus->width()));
        ui->logStatus->setToolTip(reason + u'\n' + path);
        return false;
    }
    ui->logStatus->clear();
    ui->logStatus->setToolTip(QString());
    return true;
}

void Widget::on_saveLog_clicked()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty())
        folder = QDir::homePath();
    const QString suggested = QDir(folder).filePath(
            QStringLiteral("remoteconfig-log-%1.txt")
                    .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"))));
    const QString path = saveLogDialog
            ? saveLogDialog(this, suggested)
            : QFileDialog::getSaveFileName(this, QStringLiteral("保存日志"), suggested,
                                           QStringLiteral("文本文件 (*.txt);;所有文件 (*)"));
    if (!path.isEmpty())
        saveLog(path);
}
