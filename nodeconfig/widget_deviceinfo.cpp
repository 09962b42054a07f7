#include "widget.h"

#include "deviceinfo.h"
#include "hextext.h"
#include "modulecommands.h"

#include "ui_widget.h"

#include <QDebug>

void Widget::on_readDeviceInfo_clicked()
{
    SendReadDeviceCMD();
}

void Widget::SendReadDeviceCMD()
{
    placeFrame(ModuleCommand::readDeviceInfoFrame());
}

void Widget::checkRxData()
{
    // Every combo box below runs its setter; the flag keeps them from writing back.
    fieldsUpdating = true;
    const QByteArray received = worker.takeRxData();
    const auto frame = DeviceInfoReply::findReply(received);
    if (!frame) {
        fieldsUpdating = false;
        return;
    }
    const DeviceInfoReply::DeviceInfo info = DeviceInfoReply::decode(*frame);

    // The order matters for the work mode, whose enabling rule runs where it changes: codes
    // 3–5 are shown before the pins, the transparent mode after the addresses.
    advanceReadSuccessCount();
    ui->NodeType->setCurrentIndex(info.nodeTypeIndex);
    ui->NetId->setText(info.netId);
    ui->ShortAddr->setText(info.shortAddr);
    // A zero mask keeps the channel of the last reply that had one.
    if (info.channelBit)
        decodedChannel = qint8(*info.channelBit);
    ui->channel->setCurrentIndex(decodedChannel - 10);
    ui->OutPut->setCurrentIndex(info.outPutIndex);
    ui->SendMode->setCurrentIndex(info.sendModeIndex);
    ui->AddrMode->setCurrentIndex(info.addrModeIndex);
    ui->SendAddrMode->setCurrentIndex(info.sendAddrModeIndex);
    ui->SlpCycle->setText(info.slpCycle);
    ui->version->setText(info.version);
    ui->TxPower->setText(info.txPower);
    ui->baudRateBox->setCurrentIndex(info.baudRateIndex);
    ui->MACAddr->setText(info.macAddr);
    ui->stopBitsBox->setCurrentIndex(info.stopBitsIndex);
    ui->ParityBox->setCurrentIndex(info.parityIndex);
    ui->sleepMode->setCurrentIndex(info.sleepModeIndex);
    ui->UartTimeout->setText(info.uartTimeout);
    ui->workTimeOut->setText(info.workTimeOut);

    const auto workMode = DeviceInfoReply::workModeIndex(info.workMode);
    if (workMode && info.workMode != DeviceInfoReply::TransparentWorkMode)
        ui->WorkMode->setCurrentIndex(*workMode);

    qDebug().noquote() << QString::number(info.io1Code, 16);
    ui->IO_1->setCurrentIndex(info.io1Index);
    ui->IO_2->setCurrentIndex(info.io2Index);
    ui->IO_3->setCurrentIndex(info.io3Index);
    ui->IO_4->setCurrentIndex(info.io4Index);
    ui->IO_5->setCurrentIndex(info.io5Index);
    ui->IO_6->setCurrentIndex(info.io6Index);
    ui->Divider->setText(info.divider);
    if (info.frequency)
        qDebug().noquote() << QStringLiteral(" %1").arg(*info.frequency, 0, 16);
    ui->Frequency->setText(info.frequencyText);
    ui->io_10->setCurrentIndex(info.io10Index);
    ui->io_11->setCurrentIndex(info.io11Index);
    ui->DesAddr->setText(info.desAddr);
    ui->AutoSendTimeOut->setText(info.autoSendTimeOut);

    if (workMode && info.workMode == DeviceInfoReply::TransparentWorkMode)
        ui->WorkMode->setCurrentIndex(*workMode);

    ui->ExtPanID->setText(info.extPanId);
    fieldsUpdating = false;
}

void Widget::advanceReadSuccessCount()
{
    ++readSuccessCount;
    counterText = HexText::byte(readSuccessCount).toLatin1();
    ui->SuccessTimer->setText(QString::fromLatin1(counterText));
}
