#include "app/SettingsDiffDialog.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

namespace miv {

SettingsDiffDialog::SettingsDiffDialog(const QString &fileName,
                                       const QList<SettingsDifference> &differences,
                                       QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("SettingsDiffDialog"));
    setWindowTitle(QStringLiteral("Сравнение с файлом"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(
            QStringLiteral("Различия между реле и файлом %1:").arg(QFileInfo(fileName).fileName()),
            this));

    m_table = new QTableWidget(int(differences.size()), 4, this);
    m_table->setObjectName(QStringLiteral("differences"));
    m_table->setHorizontalHeaderLabels({QStringLiteral("Параметр"), QStringLiteral("В реле"),
                                        QStringLiteral("В файле"), QStringLiteral("Различие")});
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    for (int i = 0; i < differences.size(); ++i) {
        const SettingsDifference &difference = differences[i];
        const QStringList cells{difference.item, difference.relayText, difference.fileText,
                                differenceKindText(difference.kind)};
        for (int column = 0; column < cells.size(); ++column)
            m_table->setItem(i, column, new QTableWidgetItem(cells[column]));
    }
    m_table->resizeColumnsToContents();
    m_table->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(m_table);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(720, 420);
}

void SettingsDiffDialog::show(const QString &fileName, const QList<SettingsDifference> &differences,
                              QWidget *parent)
{
    SettingsDiffDialog dialog(fileName, differences, parent);
    dialog.exec();
}

} // namespace miv
