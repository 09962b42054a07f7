#include "widget.h"

#include "modulecommands.h"
#include "parameterwrites.h"

#include "ui_widget.h"

#include <QDebug>
#include <QIntValidator>
#include <QLocale>
#include <QRegularExpression>
#include <QRegularExpressionValidator>

using ParameterWrites::Parameter;

namespace {

// From the field's first finished edit on it takes hex digits only, and an empty text no
// longer finishes editing.
void installHexValidator(QLineEdit *field)
{
    if (field->validator())
        return;
    field->setValidator(new QRegularExpressionValidator(
            QRegularExpression(QStringLiteral("[0-9a-fA-F]+$")), field));
}

// Plain digits only: a group separator would pass the validator but not the base-10 parse.
void installIntValidator(QLineEdit *field, int bottom, int top)
{
    auto *validator = new QIntValidator(bottom, top, field);
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    validator->setLocale(c);
    field->setValidator(validator);
}

} // namespace

void Widget::installDecimalValidators()
{
    // Two digits fit the sleep cycle and UART timeout fields; the sleep cycle goes out doubled.
    installIntValidator(ui->SlpCycle, 0, 99);
    installIntValidator(ui->UartTimeout, 0, 99);
    installIntValidator(ui->workTimeOut, 0, 255);
    // dBm, negative for the plain modules.
    installIntValidator(ui->TxPower, -128, 127);
    // The PWM timer divides its clock by 1, 8, 32 or 128; shown as "0001" to "0128".
    ui->Divider->setValidator(new QRegularExpressionValidator(
            QRegularExpression(QStringLiteral("0*(1|8|32|128)")), ui->Divider));
}

void Widget::on_IO_1_currentIndexChanged(const QString &arg1)
{
    IO_Config(1, arg1);
}

void Widget::on_IO_2_currentIndexChanged(const QString &arg1)
{
    IO_Config(2, arg1);
}

void Widget::on_IO_3_currentIndexChanged(const QString &arg1)
{
    IO_Config(3, arg1);
}

void Widget::on_IO_4_currentIndexChanged(const QString &arg1)
{
    IO_Config(4, arg1);
}

void Widget::on_IO_5_currentIndexChanged(const QString &arg1)
{
    IO_Config(5, arg1);
}

void Widget::on_IO_6_currentIndexChanged(const QString &arg1)
{
    IO_Config(6, arg1);
}

void Widget::on_io_10_currentIndexChanged(const QString &arg1)
{
    IO_Config(10, arg1);
}

void Widget::on_io_11_currentIndexChanged(const QString &arg1)
{
    IO_Config(11, arg1);
}

void Widget::IO_Config(unsigned char port, const QString &arg1)
{
    if (fieldsUpdating)
        return;
    if (const auto frame = ParameterWrites::pinFrame(port, arg1))
        placeFrame(*frame);
}

void Widget::on_pushButton_clicked()
{
    if (fieldsUpdating)
        return;
    placeFrame(ModuleCommand::saveAndRestartFrame());
}

void Widget::on_NodeType_currentIndexChanged(int index)
{
    if (fieldsUpdating)
        return;
    placeFrameThenClearNetwork(ParameterWrites::listFrame(Parameter::NodeType, index));
    qDebug() << "NodeType";
}

void Widget::on_channel_currentIndexChanged(int index)
{
    if (fieldsUpdating)
        return;
    placeFrameThenClearNetwork(ParameterWrites::listFrame(Parameter::Channel, index));
    qDebug() << "channel";
}

void Widget::on_NetId_editingFinished()
{
    if (fieldsUpdating)
        return;
    installHexValidator(ui->NetId);
    if (const auto frame = ParameterWrites::textFrame(Parameter::NetId, ui->NetId->text())) {
        placeFrameThenClearNetwork(*frame);
        qDebug() << "NetId";
    }
}

void Widget::on_SendMode_currentIndexChanged(int index)
{
    if (fieldsUpdating)
        return;
    placeFrame(ParameterWrites::listFrame(Parameter::SendMode, index));
}

void Widget::on_AddrMode_currentIndexChanged(int index)
{
    if (fieldsUpdating)
        return;
    placeFrame(ParameterWrites::listFrame(Parameter::AddrMode, index));
}

void Widget::on_baudRateBox_currentIndexChanged(int index)
{
    if (fieldsUpdating)
        return;
    placeFrame(ParameterWrites::listFrame(Parameter::BaudRate, index));
}

void Widget::on_ShortAddr_editingFinished()
{
    if (fieldsUpdating)
        return;
    installHexValidator(ui->ShortAddr);
    if (const auto frame =
                ParameterWrites::textFrame(Parameter::ShortAddr, ui->ShortAddr->text())) {
        placeFrame(*frame);
        qDebug() << "ShortAddr";
    }
}

void Widget::on_OutPut_currentIndexChanged(int index)
{
    if (fieldsUpdating)
        return;
    placeFrame(ParameterWrites::listFrame(Parameter::OutPut, index));
}

void Widget::on_stopBitsBox_currentIndexChanged(int index)
{
    if (fieldsUpdating)
        return;
    placeFrame(ParameterWrites::listFrame(Parameter::StopBits, index));
}

void Widget::on_ParityBox_currentIndexChanged(int index)
{
    if (fieldsUpdating)
        return;
    placeFrame(ParameterWrites::listFrame(Parameter::Parity, index));
}

void Widget::on_sleepMode_currentIndexChanged(int index)
{
    if (fieldsUpdating)
        return;
    placeFrame(ParameterWrites::listFrame(Parameter::SleepMode, index));
}

void Widget::on_SlpCycle_editingFinished()
{
    if (fieldsUpdating)
        return;
    if (const auto frame = ParameterWrites::textFrame(Parameter::SlpCycle, ui->SlpCycle->text()))
        placeFrame(*frame);
}

void Widget::on_UartTimeout_editingFinished()
{
    if (fieldsUpdating)
        return;
    if (const auto frame =
                ParameterWrites::textFrame(Parameter::UartTimeout, ui->UartTimeout->text()))
        placeFrame(*frame);
}

void Widget::on_workTimeOut_editingFinished()
{
    if (fieldsUpdating)
        return;
    if (const auto frame =
                ParameterWrites::textFrame(Parameter::WorkTimeOut, ui->workTimeOut->text()))
        placeFrame(*frame);
}

void Widget::on_SendAddrMode_currentIndexChanged(int index)
{
    if (fieldsUpdating)
        return;
    placeFrame(ParameterWrites::listFrame(Parameter::SendAddrMode, index));
}

void Widget::on_MACAddr_editingFinished() { }

void Widget::on_TxPower_editingFinished()
{
    if (fieldsUpdating)
        return;
    placeFrame(ParameterWrites::txPowerFrame(ui->TxPower->text()));
}

void Widget::on_WorkMode_currentIndexChanged(int index)
{
    // The enabling follows the mode even while a read fills the fields.
    applyWorkModeEnabling(index);
    if (fieldsUpdating)
        return;
    placeFrame(ParameterWrites::listFrame(Parameter::WorkMode, index));
    qDebug() << "WorkMode";
}

void Widget::on_DesAddr_editingFinished()
{
    if (fieldsUpdating)
        return;
    installHexValidator(ui->DesAddr);
    if (const auto frame = ParameterWrites::textFrame(Parameter::DesAddr, ui->DesAddr->text())) {
        placeFrame(*frame);
        qDebug() << "DestAddr";
    }
}

void Widget::on_AutoSendTimeOut_editingFinished()
{
    if (fieldsUpdating)
        return;
    installHexValidator(ui->AutoSendTimeOut);
    if (const auto frame = ParameterWrites::textFrame(Parameter::AutoSendTimeOut,
                                                      ui->AutoSendTimeOut->text())) {
        placeFrame(*frame);
        qDebug() << "AutoSendTimeout";
    }
}

void Widget::on_Divider_editingFinished()
{
    if (fieldsUpdating)
        return;
    if (const auto frame = ParameterWrites::textFrame(Parameter::Divider, ui->Divider->text()))
        placeFrame(*frame);
}

void Widget::on_Frequency_editingFinished()
{
    if (fieldsUpdating)
        return;
    installHexValidator(ui->Frequency);
    if (const auto frame = ParameterWrites::frequencyFrame(ui->Frequency->text()))
        placeFrame(*frame);
}

void Widget::on_ExtPanID_editingFinished()
{
    if (fieldsUpdating)
        return;
    installHexValidator(ui->ExtPanID);
    if (const auto frame = ParameterWrites::textFrame(Parameter::ExtPanID, ui->ExtPanID->text()))
        placeFrame(*frame);
}
