#include "widget.h"

#include "ui_widget.h"

Widget::Widget(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::Widget)
    , worker(MyThread::Variant::NodeConfig)
{
    ui->setupUi(this);
}

Widget::~Widget()
{
    delete ui;
}

void Widget::clearDeviceFields()
{
}

void Widget::CleanDeviceInfo()
{
}

void Widget::isComOpen(bool)
{
}

void Widget::on_fresh_Button_clicked()
{
}

void Widget::on_fresh_Button_2_clicked()
{
}

void Widget::on_openCom_Button_clicked()
{
}

void Widget::on_openCom_Button_2_clicked()
{
}

void Widget::on_serialPortComboBox_currentIndexChanged(int)
{
}

void Widget::on_serialPortComboBox_2_currentIndexChanged(int)
{
}

void Widget::showOpenFailure(const QString &)
{
}

void Widget::comLost(const QString &)
{
}

void Widget::on_cleanDeviceInfo_clicked()
{
}

void Widget::on_tabWidget_currentChanged(int)
{
}

void Widget::placeFrame(const QByteArray &)
{
}

void Widget::placeFrameThenClearNetwork(const QByteArray &)
{
}

void Widget::applyWorkModeEnabling(int)
{
}

void Widget::fillOptionLists()
{
}

void Widget::scanPorts(bool)
{
}

void Widget::toggleConnection()
{
}
