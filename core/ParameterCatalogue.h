#pragma once

#include <array>
#include <optional>
#include <QString>
#include <QtGlobal>

namespace miv {

// One configuration parameter as the relay menu knows it: where the relay
// keeps it, and the texts the settings file and the value editor show.
struct ParameterRecord
{
    QString name; // shown in the grid and in the value editor
    quint16 reg = 0; // the register that holds it (a switch row: its switch word)
    QString step; // resolution "1", ".1" or ".01"; empty for non-numeric rows
    QString min; // smallest raw value, decimal text; empty for non-numeric rows
    QString max; // largest raw value (row 21 keeps its historical " 30")
};

// Smallest and largest raw register value of a numeric row.
struct RawLimits
{
    quint16 minimum = 0;
    quint16 maximum = 0;
    bool operator==(const RawLimits &) const = default;
};

// Rows of the configuration grid that other code names.
namespace ConfigRow {
constexpr int count = 34;
constexpr int ratio = 0; // transformation ratio K
constexpr int nominalCurrent = 1; // resolution follows K
constexpr int secondStageCurrent = 2;
constexpr int lastFirstBlock = 11; // rows 0-11 live in registers 0x50-0x5B
constexpr int firstSecondBlock = 12; // rows 12-22 live in registers 0x60-0x6A
constexpr int lastNumeric = 22;
constexpr int firstSwitch = 23;
constexpr int tankAlgorithm = 31; // exists on relays of type 6 only
constexpr int lastSwitch = 31;
constexpr int motorHours = 32;
constexpr int password = 33;
// A row's number as the grid's "Пункт в меню реле", the relay's menu and every
// report and window show it: "01" for row 0 up to "34".
QString menuNumber(int row);
} // namespace ConfigRow

// Where a switch row lives: bit `bit` of switch word `word` (0: register 0x80,
// 1: register 0x81). Reading and writing use the same bits.
struct SwitchBit
{
    int row;
    int word;
    int bit;
};
inline constexpr std::array<SwitchBit, 9> switchBits = {{
        {23, 0, 2},
        {24, 0, 1},
        {25, 0, 0},
        {26, 0, 5},
        {27, 0, 4},
        {28, 0, 3},
        {29, 1, 2},
        {30, 1, 1},
        {31, 1, 0},
}};
std::optional<SwitchBit> switchBitOf(int row);

// The two texts of a switch, indexed by the bit value.
inline const std::array<QString, 2> onOffTexts = {QStringLiteral("откл."), QStringLiteral("вкл.")};

// The 34 configuration parameters. The table is constant except for the
// resolution of rows 1 and 2, which follows the transformation ratio; that
// state lives in this object (owned by the data module), so that reading,
// writing and editing share it.
class ParameterCatalogue
{
public:
    ParameterCatalogue();

    // The records as the relay's menu defines them, resolution of rows 1 and 2 at ".01".
    static const std::array<ParameterRecord, ConfigRow::count> &defaults();

    // `row` must be 0..33.
    const ParameterRecord &record(int row) const;
    QString step(int row) const { return record(row).step; }
    // The register every read and write of the row uses.
    quint16 registerAddress(int row) const;
    bool isNumeric(int row) const { return !record(row).step.isEmpty(); }
    bool isSwitch(int row) const
    {
        return row >= ConfigRow::firstSwitch && row <= ConfigRow::lastSwitch;
    }

    // The resolution rule of rows 1 and 2: K 1-2 gives ".01", 3-20 ".1",
    // 21-200 "1"; any other K leaves the resolution as it was.
    void applyRatio(int ratio);

    // The limits stored for a numeric row (rows 1 and 2 take theirs from
    // ratioLimits instead); nullopt for rows without limits.
    std::optional<RawLimits> storedLimits(int row) const;

private:
    std::array<ParameterRecord, ConfigRow::count> m_records;
};

// A register as the grid's hidden column shows it: four hexadecimal digits,
// capitals ("005A").
QString registerColumnText(quint16 reg);

// The resolution the rule gives for ratio K, nullopt when K leaves it unchanged.
std::optional<QString> resolutionForRatio(int ratio);

// The raw limits of rows 1 and 2 for ratio K at resolution `step`: K·f to 5·K·f
// with f = 100, 10, 1 for ".01", ".1", "1"; an upper limit of exactly 1000
// becomes 999. Values beyond 16 bits are clamped to 65535.
RawLimits ratioLimits(int ratio, const QString &step);

// One entry of the journal's event names.
struct EventName
{
    QString code; // three decimal digits
    QString name;
};
const std::array<EventName, 35> &eventNameTable();
// The entry whose code has this numeric value; nullptr for an unknown code.
const EventName *findEvent(int code);

} // namespace miv
