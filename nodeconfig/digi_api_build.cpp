#include "digi_api_build.h"

#include "ui_digi_api_build.h"

#include "digiapi.h"

digi_api_build::digi_api_build(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::digi_api_build)
{
    ui->setupUi(this);
}

digi_api_build::~digi_api_build()
{
    delete ui;
}

void digi_api_build::on_BuildAPI_clicked()
{
    const DigiApi::Composition frame = DigiApi::compose(
            ui->DesMacAddr->text(), ui->DesShortAddr->text(), ui->UartData->text());
    // A refused frame leaves the result empty with the reason in its place.
    ui->API_data->setPlaceholderText(frame.refusal);
    ui->API_data->setToolTip(frame.refusal);
    ui->API_data->setText(frame.frameText);
}

void digi_api_build::on_API_data_textChanged(const QString &arg1)
{
    apiText = arg1;
    // Setting the unchanged text emits nothing more; it puts the cursor at the end.
    ui->API_data->setText(apiText);
}
