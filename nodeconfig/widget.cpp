#include "widget.h"

#include "connectioncontrol.h"
#include "modulecommands.h"
#include "optionlists.h"
#include "portlist.h"

#include "ui_widget.h"

#include <QDebug>
#include <QIcon>
#include <QLineEdit>

Widget::Widget(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::Widget)
    , worker(LinkSettings::nodeConfig())
    , exportRead(worker)
    , profileReplyEnd([] { return std::make_shared<ModuleReplyEnd>(); })
{
    ui->setupUi(this);

    connectPinForwarders();

    installDecimalValidators();

    for (QComboBox *ports : { ui->serialPortComboBox, ui->serialPortComboBox_2 }) {
        connect(ports, &QComboBox::currentTextChanged, this, &Widget::showPortTips);
        // A name wider than the box shows its start once it is picked or no longer typed.
        const auto showStart = [ports] { ports->lineEdit()->setCursorPosition(0); };
        connect(ports, &QComboBox::currentIndexChanged, ports, showStart);
        connect(ports->lineEdit(), &QLineEdit::editingFinished, ports, showStart);
    }
    connect(&portWatcher, &PortWatcher::portsChanged, this, [this] { scanPorts(false); });

    // The setters are bound by now, so filling runs each of them once with index 0 (and the
    // work-mode rule); the frames they place are withdrawn below.
    fillOptionLists();
    scanPorts(false);
    worker.clearTxData();

    connect(&worker, &MyThread::comRecive, this, &Widget::checkRxData);
    worker.setComOpened(false);
    connect(&worker, &MyThread::comdelayout, this, &Widget::displayRxData);
    connect(&rssiStopTimer, &QTimer::timeout, this, &Widget::RssiTest_resettimeout);
    connect(&worker, &MyThread::comOpenSuccess, this, &Widget::isComOpen);
    connect(&worker, &MyThread::comOpenFailed, this, &Widget::showOpenFailure);
    connect(&worker, &MyThread::comLost, this, &Widget::comLost);
    connect(&exportRead, &DeviceInfoRead::finished, this, &Widget::exportReadFinished);

    decodedChannel = 0;
    readSuccessCount = 0;
    fieldsUpdating = false;

    ui->tabWidget->removeTab(ui->tabWidget->indexOf(ui->table3));
}

Widget::~Widget()
{
    worker.requestStop();
    worker.wait();
    delete ui;
}

void Widget::clearDeviceFields()
{
    fieldsUpdating = true;

    const QList<QComboBox *> lists = parameterLists();
    for (QComboBox *list : lists)
        list->setCurrentIndex(0);

    QList<QLineEdit *> edits = parameterEdits();
    // No setter behind these: the test page's send field, the MAC address, the version.
    edits << ui->lineEdit << ui->MACAddr << ui->version;
    for (QLineEdit *edit : edits)
        edit->clear();

    fieldsUpdating = false;
}

void Widget::CleanDeviceInfo()
{
    worker.submit(ModuleCommand::clearNetworkFrame());
}

void Widget::isComOpen(bool success)
{
    qDebug() << "到槽函数了";
    // A close clicked between the open and this queued report has already closed the window.
    if (success && worker.stopRequested())
        return;
    if (success) {
        ui->serialPortComboBox->setEnabled(false);
        ui->serialPortComboBox_2->setEnabled(false);
        ui->openCom_Button->setText(QStringLiteral("关闭串口"));
        ui->openCom_Button_2->setText(QStringLiteral("关闭串口"));
        ui->groupBox_2->setEnabled(true);
        ui->groupBox_6->setEnabled(true);
        ui->exportProfile->setEnabled(true);
        ui->importProfile->setEnabled(true);
        return;
    }

    const QString interrupted = endProfileTasks();
    if (!interrupted.isEmpty())
        showStatus(interrupted, Tone::Fault);

    qDebug() << "Zarno:"
             << "com close";
    ui->serialPortComboBox->setEnabled(true);
    ui->serialPortComboBox_2->setEnabled(true);
    ui->openCom_Button->setText(QStringLiteral("打开串口"));
    ui->openCom_Button_2->setText(QStringLiteral("打开串口"));
    // The reset returns WorkMode to its empty item, which runs the work-mode rule (page 1
    // off, pin groups on) before the groups are switched off here.
    clearDeviceFields();
    ui->groupBox_2->setEnabled(false);
    ui->groupBox_6->setEnabled(false);
    ui->left->setEnabled(false);
    ui->right->setEnabled(false);
    ui->others->setEnabled(false);
    ui->exportProfile->setEnabled(false);
    ui->importProfile->setEnabled(false);
}

void Widget::on_fresh_Button_clicked()
{
    scanPorts(true);
}

void Widget::on_fresh_Button_2_clicked()
{
    scanPorts(true);
}

void Widget::on_openCom_Button_clicked()
{
    toggleConnection();
}

void Widget::on_openCom_Button_2_clicked()
{
    toggleConnection();
}

// A combo box that has just been emptied signals again on every setCurrentIndex(-1), so the
// two lists would bounce -1 between them for ever without the comparison.
void Widget::on_serialPortComboBox_currentIndexChanged(int index)
{
    if (ui->serialPortComboBox_2->currentIndex() != index)
        ui->serialPortComboBox_2->setCurrentIndex(index);
}

void Widget::on_serialPortComboBox_2_currentIndexChanged(int index)
{
    if (ui->serialPortComboBox->currentIndex() != index)
        ui->serialPortComboBox->setCurrentIndex(index);
}

void Widget::showOpenFailure(const QString &reason)
{
    showStatus(QStringLiteral("打开失败：") + reason, Tone::Fault, reason);
}

void Widget::comLost(const QString &reason)
{
    const QString interrupted = endProfileTasks();
    isComOpen(false);
    const QString lost = QStringLiteral("连接断开：") + reason;
    showStatus(interrupted.isEmpty() ? lost : lost + QStringLiteral("；") + interrupted,
               Tone::Fault, interrupted.isEmpty() ? reason : reason + u'\n' + interrupted);
}

void Widget::on_cleanDeviceInfo_clicked()
{
    CleanDeviceInfo();
}

void Widget::on_tabWidget_currentChanged(int index)
{
    if (!worker.comOpened())
        return;
    // The two parameter groups are never usable together once the user moves between pages.
    if (index == 0) {
        ui->others->setEnabled(false);
        ui->groupBox_2->setEnabled(true);
    } else if (index == 1) {
        ui->others->setEnabled(true);
        ui->groupBox_2->setEnabled(false);
    }
}

void Widget::placeFrame(const QByteArray &frame)
{
    worker.submit(frame);
}

void Widget::placeFrameThenClearNetwork(const QByteArray &frame)
{
    // One transmission: the module gets both frames in one write, the parameter first.
    worker.submit(frame + ModuleCommand::clearNetworkFrame());
}

void Widget::applyWorkModeEnabling(int index)
{
    // Only the API-style modes use the pins. Disabling the current page makes the tab bar
    // move to page 0, which runs the page rule.
    ui->tabWidget->setTabEnabled(ui->tabWidget->indexOf(ui->table2), index >= 2);
    if (index != 1) {
        ui->left->setEnabled(true);
        ui->right->setEnabled(true);
    }
}

void Widget::fillOptionLists()
{
    const QStringList baudRates = OptionLists::baudRate();
    for (const QString &rate : baudRates)
        ui->baudRateBox->addItem(QIcon(), rate);
    ui->baudRateBox->setCurrentIndex(0);

    ui->NodeType->addItems(OptionLists::nodeType());
    ui->channel->addItems(OptionLists::channel());
    ui->AddrMode->addItems(OptionLists::addrMode());
    ui->stopBitsBox->addItems(OptionLists::stopBits());
    ui->SendMode->addItems(OptionLists::sendMode());
    ui->OutPut->addItems(OptionLists::outPut());
    ui->SendAddrMode->addItems(OptionLists::sendAddrMode());
    ui->ParityBox->addItems(OptionLists::parity());
    ui->sleepMode->addItems(OptionLists::sleepMode());
    ui->WorkMode->addItems(OptionLists::workMode());

    using OptionLists::PinList;
    ui->IO_1->addItems(OptionLists::pinFunctions(PinList::One));
    ui->IO_2->addItems(OptionLists::pinFunctions(PinList::Two));
    ui->IO_3->addItems(OptionLists::pinFunctions(PinList::Three));
    ui->IO_4->addItems(OptionLists::pinFunctions(PinList::Three));
    ui->IO_5->addItems(OptionLists::pinFunctions(PinList::Three));
    ui->IO_6->addItems(OptionLists::pinFunctions(PinList::Three));
    ui->io_10->addItems(OptionLists::pinFunctions(PinList::One));
    ui->io_11->addItems(OptionLists::pinFunctions(PinList::Two));
}

void Widget::scanPorts(bool describe)
{
    const QList<PortDescription> ports = availablePorts(describe);
    // While a port is open the lists are disabled and go on showing that port. They are filled
    // without their handlers, which would mirror a half-filled list into the other.
    const bool open = !ui->serialPortComboBox->isEnabled();
    {
        const QSignalBlocker quiet(ui->serialPortComboBox);
        const QSignalBlocker quiet2(ui->serialPortComboBox_2);
        refillPortBox(*ui->serialPortComboBox, ports, open);
        refillPortBox(*ui->serialPortComboBox_2, ports, open);
        const int index = ui->serialPortComboBox->currentIndex();
        if (ui->serialPortComboBox_2->currentIndex() != index)
            ui->serialPortComboBox_2->setCurrentIndex(index);
    }
    for (QComboBox *list : { ui->serialPortComboBox, ui->serialPortComboBox_2 }) {
        if (!list->lineEdit()->hasFocus())
            list->lineEdit()->setCursorPosition(0);
    }
    showPortTips();
}

void Widget::showPortTips()
{
    for (QComboBox *ports : { ui->serialPortComboBox, ui->serialPortComboBox_2 })
        ports->setToolTip(portBoxToolTip(*ports));
}

void Widget::toggleConnection()
{
    // An editable list: a typed device path counts as well as a listed one.
    const ConnectAction action = ::toggleConnection(worker, ui->serialPortComboBox->currentText());
    if (action == ConnectAction::Nothing)
        return;
    showStatus(QString(), Tone::Fault);
    if (action == ConnectAction::Stopping)
        isComOpen(false);
}
