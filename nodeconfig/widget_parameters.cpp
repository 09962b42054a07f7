#include "widget.h"

void Widget::on_IO_1_currentIndexChanged(const QString &)
{
}

void Widget::on_IO_2_currentIndexChanged(const QString &)
{
}

void Widget::on_IO_3_currentIndexChanged(const QString &)
{
}

void Widget::on_IO_4_currentIndexChanged(const QString &)
{
}

void Widget::on_IO_5_currentIndexChanged(const QString &)
{
}

void Widget::on_IO_6_currentIndexChanged(const QString &)
{
}

void Widget::on_io_10_currentIndexChanged(const QString &)
{
}

void Widget::on_io_11_currentIndexChanged(const QString &)
{
}

void Widget::IO_Config(unsigned char, const QString &)
{
}

void Widget::on_pushButton_clicked()
{
}

void Widget::on_NodeType_currentIndexChanged(int)
{
}

void Widget::on_channel_currentIndexChanged(int)
{
}

void Widget::on_NetId_editingFinished()
{
}

void Widget::on_SendMode_currentIndexChanged(int)
{
}

void Widget::on_AddrMode_currentIndexChanged(int)
{
}

void Widget::on_baudRateBox_currentIndexChanged(int)
{
}

void Widget::on_ShortAddr_editingFinished()
{
}

void Widget::on_OutPut_currentIndexChanged(int)
{
}

void Widget::on_stopBitsBox_currentIndexChanged(int)
{
}

void Widget::on_ParityBox_currentIndexChanged(int)
{
}

void Widget::on_sleepMode_currentIndexChanged(int)
{
}

void Widget::on_SlpCycle_editingFinished()
{
}

void Widget::on_UartTimeout_editingFinished()
{
}

void Widget::on_workTimeOut_editingFinished()
{
}

void Widget::on_SendAddrMode_currentIndexChanged(int)
{
}

void Widget::on_MACAddr_editingFinished()
{
}

void Widget::on_TxPower_editingFinished()
{
}

void Widget::on_WorkMode_currentIndexChanged(int)
{
}

void Widget::on_DesAddr_editingFinished()
{
}

void Widget::on_AutoSendTimeOut_editingFinished()
{
}

void Widget::on_Divider_editingFinished()
{
}

void Widget::on_Frequency_editingFinished()
{
}

void Widget::on_ExtPanID_editingFinished()
{
}
void Widget::installDecimalValidators()
{
}
