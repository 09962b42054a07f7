#pragma once

#include <QDialog>
#include <QString>

QT_BEGIN_NAMESPACE
namespace Ui {
class digi_api_build;
}
QT_END_NAMESPACE

// Composes a DigiAPI transmit frame as hex text for copying; sends nothing.
class digi_api_build : public QDialog
{
    Q_OBJECT

public:
    explicit digi_api_build(QWidget *parent = nullptr);
    ~digi_api_build() override;

private Q_SLOTS:
    void on_BuildAPI_clicked();
    void on_API_data_textChanged(const QString &arg1);

private:
    Ui::digi_api_build *ui;
    // Always equals the text of API_data.
    QString apiText;
};
