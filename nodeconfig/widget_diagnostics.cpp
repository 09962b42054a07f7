#include "widget.h"

void Widget::displayRxData()
{
}

void Widget::on_startRssiTest_clicked()
{
}

void Widget::on_stopRssiTest_clicked()
{
}

void Widget::RssiTest_resettimeout()
{
}

void Widget::on_sendDate_clicked()
{
}

void Widget::on_digi_api_build_button_clicked()
{
}
