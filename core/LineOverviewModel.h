#pragma once

#include <array>
#include <optional>
#include <QAbstractTableModel>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

namespace miv {

// The colour of an overview row: that of the lamp that tells the relay's
// state ("Работа" green, "Авария" red, "Перегрузка" yellow); a stopped motor
// lights none, and a relay without link is grey.
enum class RowColour { None, Green, Red, Yellow, Grey };

// A relay's clock offset in whole seconds with its sign, as `mivctl clock`
// prints it: "+3 с", "-125 с", "0 с"; empty when it is not known.
QString clockOffsetText(std::optional<qint64> offsetMs);
// The same as the overview shows it, in the window and in `mivctl overview`:
// whole seconds under a minute ("+3 с"), else the whole minutes, hours and
// days it has reached, the two largest ("-2 мин", "+1 ч 59 мин", "+3 сут 4 ч").
QString clockOffsetReadableText(std::optional<qint64> offsetMs);

// One relay of the line overview as it was read last. The texts are those of
// the live page.
struct OverviewRow
{
    quint8 address = 0;
    QString typeName; // the device name, without its trailing spaces
    std::optional<quint16> factoryNumber; // known once the relay was identified
    bool answered = false; // the last ask brought a reading
    QString state; // "Работа", "Стоп", "Авария", "Перегрузка", "Нет связи"; empty before any ask
    std::array<QString, 3> currents; // phases A, B, C: "012,3 А"
    QString temperature; // "  +25 °C", "   откл."
    QStringList alarms; // the captions of the alarm lamps that are lit
    // The relay's clock minus the PC's, in milliseconds (device/RelayClock.h);
    // nullopt before it was read or when the relay's clock holds no date.
    std::optional<qint64> clockOffsetMs;
    QDateTime readAt; // the last reading; invalid before the first
    RowColour colour = RowColour::None;
};

// The table of the line overview: one row per relay, in the order of the
// addresses given. The rows are written by the overview's round
// (device/LineOverview.h); the cells show texts, and the row colour is data of
// its own role, which the window turns into a background.
class LineOverviewModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column {
        Address,
        Name,
        FactoryNumber,
        State,
        CurrentA,
        CurrentB,
        CurrentC,
        Temperature,
        Alarms,
        ClockOffset,
        ReadAt,
        ColumnCount
    };
    // A RowColour, as int, for every cell of a row.
    static constexpr int rowColourRole = Qt::UserRole + 1;

    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // One empty row per address, in this order.
    void setAddresses(const QList<quint8> &addresses);
    const QList<OverviewRow> &rows() const { return m_rows; }
    const OverviewRow &row(int index) const { return m_rows.at(index); }
    void setRow(int index, const OverviewRow &row);

    // A cell's text: the row's texts without the padding that lines up the
    // live page's labels (a table lines its columns up itself).
    static QString cellText(const OverviewRow &row, int column);

private:
    QList<OverviewRow> m_rows;
};

} // namespace miv
