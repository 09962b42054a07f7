#include "widget.h"

#include "modulecommands.h"
#include "parameterwrites.h"

#include "ui_widget.h"

#include <QDebug>
#include <QIntValidator>
#include <QLocale>
#include <QRegularExpression>
#include <QRegularExpressionValidator>

#include <algorithm>
#include <iterator>
#include <optional>

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

// What follows a write's frame in the same transmission.
enum Followup { FrameOnly, ThenClearNetwork };

// The lists of the parameter pages and the NV parameter each one sets, in the order the
// reset returns them to the empty item.
struct ListField
{
    QComboBox *Ui::Widget::*list;
    Parameter parameter;
    Followup followup;
    const char *debugLine; // printed once the frame is placed
};

constexpr ListField ListFields[] = {
    { &Ui::Widget::baudRateBox, Parameter::BaudRate, FrameOnly, nullptr },
    { &Ui::Widget::NodeType, Parameter::NodeType, ThenClearNetwork, "NodeType" },
    { &Ui::Widget::channel, Parameter::Channel, ThenClearNetwork, "channel" },
    { &Ui::Widget::AddrMode, Parameter::AddrMode, FrameOnly, nullptr },
    { &Ui::Widget::stopBitsBox, Parameter::StopBits, FrameOnly, nullptr },
    { &Ui::Widget::SendMode, Parameter::SendMode, FrameOnly, nullptr },
    { &Ui::Widget::OutPut, Parameter::OutPut, FrameOnly, nullptr },
    { &Ui::Widget::SendAddrMode, Parameter::SendAddrMode, FrameOnly, nullptr },
    { &Ui::Widget::ParityBox, Parameter::Parity, FrameOnly, nullptr },
    { &Ui::Widget::sleepMode, Parameter::SleepMode, FrameOnly, nullptr },
    { &Ui::Widget::WorkMode, Parameter::WorkMode, FrameOnly, "WorkMode" },
};

static_assert(
        [] {
            for (const ListField &field : ListFields) {
                if (!ParameterWrites::isListRule(ParameterWrites::nvWrite(field.parameter).rule))
                    return false;
            }
            return true;
        }(),
        "a list sets a parameter written from the list index");

// A text field's frame; none when the text holds no value to write.
using TextWrite = std::optional<QByteArray> (*)(const QString &text);

template<Parameter P>
std::optional<QByteArray> nvText(const QString &text)
{
    return ParameterWrites::textFrame(P, text);
}

std::optional<QByteArray> txPower(const QString &text)
{
    return ParameterWrites::txPowerFrame(text);
}

// KeepValidator: whatever installDecimalValidators gave the field, if anything.
// HexValidator: the hex-digit validator from the field's first finished edit on.
enum Validator { KeepValidator, HexValidator };

// The text fields of the parameter pages, in the order the reset empties them. They write on
// editingFinished, which Qt 6 emits on focus-out only when the text changed since the last
// time: leaving an unchanged field sends nothing, and that is how it should be.
struct TextField
{
    QLineEdit *Ui::Widget::*edit;
    TextWrite write;
    Validator validator;
    Followup followup;
    const char *debugLine;
};

constexpr TextField TextFields[] = {
    { &Ui::Widget::DesAddr, nvText<Parameter::DesAddr>, HexValidator, FrameOnly, "DestAddr" },
    { &Ui::Widget::Divider, nvText<Parameter::Divider>, KeepValidator, FrameOnly, nullptr },
    { &Ui::Widget::Frequency, ParameterWrites::frequencyFrame, HexValidator, FrameOnly, nullptr },
    { &Ui::Widget::NetId, nvText<Parameter::NetId>, HexValidator, ThenClearNetwork, "NetId" },
    { &Ui::Widget::ShortAddr, nvText<Parameter::ShortAddr>, HexValidator, FrameOnly, "ShortAddr" },
    { &Ui::Widget::SlpCycle, nvText<Parameter::SlpCycle>, KeepValidator, FrameOnly, nullptr },
    { &Ui::Widget::TxPower, txPower, KeepValidator, FrameOnly, nullptr },
    { &Ui::Widget::UartTimeout, nvText<Parameter::UartTimeout>, KeepValidator, FrameOnly, nullptr },
    { &Ui::Widget::workTimeOut, nvText<Parameter::WorkTimeOut>, KeepValidator, FrameOnly, nullptr },
    { &Ui::Widget::AutoSendTimeOut, nvText<Parameter::AutoSendTimeOut>, HexValidator, FrameOnly,
      "AutoSendTimeout" },
    { &Ui::Widget::ExtPanID, nvText<Parameter::ExtPanID>, HexValidator, FrameOnly, nullptr },
};

// Qt 6 has no currentIndexChanged(QString): each pin list reaches its forwarder through
// connectPinForwarders, with the item text.
struct PinField
{
    QComboBox *Ui::Widget::*list;
    void (Widget::*forwarder)(const QString &);
};

constexpr PinField PinFields[] = {
    { &Ui::Widget::IO_1, &Widget::on_IO_1_currentIndexChanged },
    { &Ui::Widget::IO_2, &Widget::on_IO_2_currentIndexChanged },
    { &Ui::Widget::IO_3, &Widget::on_IO_3_currentIndexChanged },
    { &Ui::Widget::IO_4, &Widget::on_IO_4_currentIndexChanged },
    { &Ui::Widget::IO_5, &Widget::on_IO_5_currentIndexChanged },
    { &Ui::Widget::IO_6, &Widget::on_IO_6_currentIndexChanged },
    { &Ui::Widget::io_10, &Widget::on_io_10_currentIndexChanged },
    { &Ui::Widget::io_11, &Widget::on_io_11_currentIndexChanged },
};

} // namespace

void Widget::connectPinForwarders()
{
    for (const PinField &pin : PinFields) {
        QComboBox *list = ui->*pin.list;
        const auto forwarder = pin.forwarder;
        connect(list, &QComboBox::currentIndexChanged, this,
                [this, list, forwarder](int index) { (this->*forwarder)(list->itemText(index)); });
    }
}

QList<QComboBox *> Widget::parameterLists() const
{
    QList<QComboBox *> lists;
    for (const ListField &field : ListFields)
        lists.append(ui->*field.list);
    for (const PinField &pin : PinFields)
        lists.append(ui->*pin.list);
    return lists;
}

QList<QLineEdit *> Widget::parameterEdits() const
{
    QList<QLineEdit *> edits;
    for (const TextField &field : TextFields)
        edits.append(ui->*field.edit);
    return edits;
}

void Widget::writeList(QComboBox *list, int index)
{
    if (fieldsUpdating)
        return;
    const auto field = std::find_if(std::begin(ListFields), std::end(ListFields),
                                    [&](const ListField &f) { return ui->*f.list == list; });
    Q_ASSERT(field != std::end(ListFields));
    placeWrite(ParameterWrites::listFrame(field->parameter, index),
               field->followup == ThenClearNetwork, field->debugLine);
}

void Widget::writeText(QLineEdit *edit)
{
    if (fieldsUpdating)
        return;
    const auto field = std::find_if(std::begin(TextFields), std::end(TextFields),
                                    [&](const TextField &f) { return ui->*f.edit == edit; });
    Q_ASSERT(field != std::end(TextFields));
    if (field->validator == HexValidator)
        installHexValidator(edit);
    if (const auto frame = field->write(edit->text()))
        placeWrite(*frame, field->followup == ThenClearNetwork, field->debugLine);
}

void Widget::placeWrite(const QByteArray &frame, bool clearsNetwork, const char *debugLine)
{
    if (clearsNetwork)
        placeFrameThenClearNetwork(frame);
    else
        placeFrame(frame);
    if (debugLine)
        qDebug() << debugLine;
}

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
    writeList(ui->NodeType, index);
}

void Widget::on_channel_currentIndexChanged(int index)
{
    writeList(ui->channel, index);
}

void Widget::on_NetId_editingFinished()
{
    writeText(ui->NetId);
}

void Widget::on_SendMode_currentIndexChanged(int index)
{
    writeList(ui->SendMode, index);
}

void Widget::on_AddrMode_currentIndexChanged(int index)
{
    writeList(ui->AddrMode, index);
}

void Widget::on_baudRateBox_currentIndexChanged(int index)
{
    writeList(ui->baudRateBox, index);
}

void Widget::on_ShortAddr_editingFinished()
{
    writeText(ui->ShortAddr);
}

void Widget::on_OutPut_currentIndexChanged(int index)
{
    writeList(ui->OutPut, index);
}

void Widget::on_stopBitsBox_currentIndexChanged(int index)
{
    writeList(ui->stopBitsBox, index);
}

void Widget::on_ParityBox_currentIndexChanged(int index)
{
    writeList(ui->ParityBox, index);
}

void Widget::on_sleepMode_currentIndexChanged(int index)
{
    writeList(ui->sleepMode, index);
}

void Widget::on_SlpCycle_editingFinished()
{
    writeText(ui->SlpCycle);
}

void Widget::on_UartTimeout_editingFinished()
{
    writeText(ui->UartTimeout);
}

void Widget::on_workTimeOut_editingFinished()
{
    writeText(ui->workTimeOut);
}

void Widget::on_SendAddrMode_currentIndexChanged(int index)
{
    writeList(ui->SendAddrMode, index);
}

void Widget::on_MACAddr_editingFinished() { }

void Widget::on_TxPower_editingFinished()
{
    writeText(ui->TxPower);
}

void Widget::on_WorkMode_currentIndexChanged(int index)
{
    // The enabling follows the mode even while a read fills the fields.
    applyWorkModeEnabling(index);
    writeList(ui->WorkMode, index);
}

void Widget::on_DesAddr_editingFinished()
{
    writeText(ui->DesAddr);
}

void Widget::on_AutoSendTimeOut_editingFinished()
{
    writeText(ui->AutoSendTimeOut);
}

void Widget::on_Divider_editingFinished()
{
    writeText(ui->Divider);
}

void Widget::on_Frequency_editingFinished()
{
    writeText(ui->Frequency);
}

void Widget::on_ExtPanID_editingFinished()
{
    writeText(ui->ExtPanID);
}
