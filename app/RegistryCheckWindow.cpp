#include "app/RegistryCheckWindow.h"

#include "core/AbsentOperator.h"
#include "link/RelaySession.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

namespace miv {

namespace {

// Keeps what the reading would show in a box, for the window's last line.
class KeptMessages : public AbsentOperator
{
public:
    Answer message(Icon, const QString &text, Buttons, const QString &) override
    {
        last = text;
        return Answer::Ok;
    }
    void keepAlive() override { QApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }
    QString last;
};

} // namespace

RegistryCheckWindow::RegistryCheckWindow(RelayBus &bus, RelayRecorder &recorder, QWidget *parent)
    : QDialog(parent),
      m_bus(bus),
      m_recorder(recorder),
      m_table(new QTableWidget(this)),
      m_summary(new QLabel(this))
{
    setObjectName(QStringLiteral("RegistryCheckWindow"));
    setWindowTitle(QStringLiteral("Сверка с утверждёнными"));
    m_table->setColumnCount(8);
    m_table->setHorizontalHeaderLabels({QStringLiteral("Адрес"), QStringLiteral("Заводской №"),
                                        QStringLiteral("Метка"), QStringLiteral("Результат"),
                                        QStringLiteral("Строка"), QStringLiteral("Параметр"),
                                        QStringLiteral("Утверждено"), QStringLiteral("В реле")});
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->horizontalHeader()->setStretchLastSection(true);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_table);
    layout->addWidget(m_summary);
    resize(900, 500);
}

QColor RegistryCheckWindow::resultColour(const RelayCheck &check)
{
    if (check.replacedFactoryNumber)
        return QColor(255, 200, 120);
    switch (check.result) {
    case RelayCheck::Result::Same:
        return QColor(200, 240, 200);
    case RelayCheck::Result::Differs:
        return QColor(255, 180, 180);
    case RelayCheck::Result::NotApproved:
        return QColor(255, 245, 170);
    case RelayCheck::Result::Silent:
    case RelayCheck::Result::NotRead:
    case RelayCheck::Result::NotRecorded:
        return QColor(215, 215, 215);
    }
    return {};
}

void RegistryCheckWindow::addRows(const RelayCheck &check)
{
    const QColor colour = resultColour(check);
    for (const QStringList &fields : checkRows(check)) {
        const int row = m_table->rowCount();
        m_table->insertRow(row);
        for (int column = 0; column < fields.size() && column < m_table->columnCount(); ++column) {
            auto *item = new QTableWidgetItem(fields[column]);
            item->setBackground(colour);
            m_table->setItem(row, column, item);
        }
    }
}

void RegistryCheckWindow::check(const QList<quint8> &addresses, const QString &portName)
{
    m_table->setRowCount(0);
    m_results.clear();
    show();
    int attention = 0;
    KeptMessages op;
    for (quint8 address : addresses) {
        m_summary->setText(QStringLiteral("Сверяется реле по адресу %1...").arg(address));
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        RelaySession session(m_bus);
        session.recorder = &m_recorder;
        session.audit.portName = [&portName] { return portName; };
        const RelayCheck result = checkRelay(session, op, address);
        m_results.append(result);
        addRows(result);
        attention += result.needsAttention() ? 1 : 0;
    }
    m_table->resizeColumnsToContents();
    m_summary->setText(attention == 0
                               ? QStringLiteral("Все реле совпадают с утверждёнными уставками")
                               : QStringLiteral("Требуют внимания: %1 из %2")
                                         .arg(attention)
                                         .arg(addresses.size()));
}

} // namespace miv
