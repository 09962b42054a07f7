#include "widget.h"

void Widget::on_readDeviceInfo_clicked()
{
}

void Widget::SendReadDeviceCMD()
{
}

void Widget::checkRxData()
{
}

void Widget::advanceReadSuccessCount()
{
}
