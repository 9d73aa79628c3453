#pragma once

#include "config/SettingsCompare.h"

#include <QDialog>

class QTableWidget;

namespace miv {

// "Сравнить с файлом...": the differences between the relay and a settings
// file, one table row each (parameter, the relay's value, the file's value,
// what kind of difference). It only shows; nothing is loaded.
class SettingsDiffDialog : public QDialog
{
    Q_OBJECT
public:
    SettingsDiffDialog(const QString &fileName, const QList<SettingsDifference> &differences,
                       QWidget *parent = nullptr);

    QTableWidget *table() const { return m_table; }

    // Shows the dialog modally.
    static void show(const QString &fileName, const QList<SettingsDifference> &differences,
                     QWidget *parent);

private:
    QTableWidget *m_table = nullptr;
};

} // namespace miv
