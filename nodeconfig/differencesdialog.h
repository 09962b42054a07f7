#pragma once

#include <QDialog>
#include <QList>
#include <QString>

// The review before an import writes: one row per parameter that differs, with what the module
// holds now and what the file holds. "写入" accepts, "取消" rejects.
class DifferencesDialog : public QDialog
{
    Q_OBJECT

public:
    struct Row
    {
        QString parameter; // as the window labels it
        QString now;
        QString inFile;
    };

    explicit DifferencesDialog(const QList<Row> &rows, QWidget *parent = nullptr);
};
