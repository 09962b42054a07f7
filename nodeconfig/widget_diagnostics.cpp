#include "widget.h"

#include "ui_widget.h"

#include "digi_api_build.h"
#include "hextext.h"
#include "modulecommands.h"
#include "rxlog.h"

#include <QDebug>
#include <QTime>

namespace {

// Delay between the clear-network frame and the stop-test frame.
constexpr int RssiStopDelayMs = 100;

} // namespace

void Widget::displayRxData()
{
    // Taken and emptied in one step: bytes the worker appends meanwhile start the next line.
    QByteArray delivery = worker.takeRxData();
    qDebug() << "receive num:" << delivery.size();
    const QTime now = QTime::currentTime();

    if (delivery.size() != RxLog::RssiReportSize) {
        ui->RssiTestDisplay->append(RxLog::dumpLine(now, delivery));
        return;
    }

    ui->RssiTestDisplay->append(RxLog::rssiReportLine(now, delivery));
    // The report as logged, with both RSSI bytes (offsets 6 and 7) advanced by one.
    delivery[6] = char(quint8(delivery.at(6)) + 1);
    delivery[7] = char(quint8(delivery.at(7)) + 1);
    qDebug() << delivery.toHex();
    // The bytes at offsets 15 and 16 do not exist in an 8-byte report: nothing to show.
    qDebug() << QByteArray();
}

void Widget::on_startRssiTest_clicked()
{
    placeFrame(ModuleCommand::startRssiTestFrame());
}

void Widget::on_stopRssiTest_clicked()
{
    // The clear-network frame goes alone; the stop-test frame follows from the timer.
    CleanDeviceInfo();
    rssiStopTimer.start(RssiStopDelayMs);
}

void Widget::RssiTest_resettimeout()
{
    rssiStopTimer.stop();
    placeFrame(ModuleCommand::stopRssiTestFrame());
}

void Widget::on_sendDate_clicked()
{
    const QString text = ui->lineEdit->text();
    if (text.isEmpty())
        return;
    // Handed over even when no hex digit was typed and nothing decodes.
    placeFrame(HexText::decode(text));
}

void Widget::on_digi_api_build_button_clicked()
{
    // Each press opens an independent dialog; the window keeps no reference to it.
    auto *dialog = new digi_api_build;
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
}
