#include "differencesdialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// Rows shown before the table scrolls.
constexpr int VisibleRows = 12;

} // namespace

DifferencesDialog::DifferencesDialog(const QList<Row> &rows, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("differencesDialog"));
    setWindowTitle(QStringLiteral("导入配置"));

    auto *intro = new QLabel(
            QStringLiteral("以下 %1 项与文件不同。写入后将读回模块校验。").arg(rows.size()), this);

    auto *table = new QTableWidget(int(rows.size()), 3, this);
    table->setObjectName(QStringLiteral("differences"));
    table->setHorizontalHeaderLabels(
            { QStringLiteral("参数"), QStringLiteral("模块当前"), QStringLiteral("文件中") });
    table->verticalHeader()->hide();
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionMode(QAbstractItemView::NoSelection);
    table->setFocusPolicy(Qt::NoFocus);
    for (int r = 0; r < rows.size(); ++r) {
        const Row &row = rows.at(r);
        // A value the module does not hold shows as a dash, not as an empty cell.
        const QString now = row.now.isEmpty() ? QStringLiteral("—") : row.now;
        int column = 0;
        for (const QString &text : { row.parameter, now, row.inFile })
            table->setItem(r, column++, new QTableWidgetItem(text));
    }
    table->resizeColumnsToContents();
    table->horizontalHeader()->setStretchLastSection(true);
    const int shown = std::min(int(rows.size()), VisibleRows);
    table->setMinimumHeight(table->horizontalHeader()->sizeHint().height()
                            + shown * table->verticalHeader()->defaultSectionSize()
                            + 2 * table->frameWidth());

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *write = buttons->addButton(QStringLiteral("写入"), QDialogButtonBox::AcceptRole);
    write->setObjectName(QStringLiteral("writeButton"));
    QPushButton *cancel = buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    cancel->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(table);
    layout->addWidget(buttons);
    resize(std::max(sizeHint().width(), 460), sizeHint().height());
}
