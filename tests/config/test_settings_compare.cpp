#include "EditFixture.h"
#include "config/SettingsCompare.h"
#include "config/SettingsFile.h"
#include "core/ValueFormat.h"
#include "link/IniFile.h"

#include <map>
#include <optional>
#include <QFile>
#include <QTemporaryDir>

using namespace miv;

namespace {

using Kind = SettingsDifference::Kind;
const QString parameters = SettingsFile::parametersSection;
const QString timers = SettingsFile::timersSection;

// A relay read into the grid, and a settings file saved from it and then
// changed key by key (nullopt: the key is left out).
class SettingsCompareTest : public EditFixture
{
protected:
    using Changes = std::map<std::pair<QString, QString>, std::optional<QString>>;

    void readSelected(quint8 address, int type)
    {
        select(address, type);
        readRelay();
    }

    QString writeFile(const Changes &changes)
    {
        const QString baseline = dir.filePath(QStringLiteral("baseline.miv"));
        const QString path = dir.filePath(QStringLiteral("compared.miv"));
        QFile::remove(path);
        EXPECT_TRUE(SettingsFile::save(baseline, grid, timer));
        IniFile source(baseline);
        EXPECT_TRUE(source.load());
        IniFile target(path);
        for (const QString &section : {parameters, timers})
            for (const QString &key : source.keys(section)) {
                std::optional<QString> value = source.value(section, key);
                if (const auto change = changes.find({section, key}); change != changes.end())
                    value = change->second;
                if (value)
                    target.setValue(section, key, *value);
            }
        EXPECT_TRUE(target.save());
        return path;
    }

    QString rowName(int row) const { return grid.text(row, ConfigGrid::Name); }

    QTemporaryDir dir;
};

TEST_F(SettingsCompareTest, aFileSavedFromTheRelayIsEqualToIt)
{
    for (const auto &[address, type] : {std::pair{1, 4}, std::pair{6, 6}}) {
        readSelected(quint8(address), type);
        const SettingsComparison comparison = compareWithFile(session, writeFile({}));
        EXPECT_EQ(comparison.outcome, SettingsComparison::Outcome::Compared) << "type " << type;
        EXPECT_TRUE(comparison.equal())
                << "type " << type << ": " << comparison.differences.size() << " differences";
    }
}

TEST_F(SettingsCompareTest, eachDifferenceIsListedByRowAndKind)
{
    readSelected(1, 4);
    const QString row5 = grid.relayText(5);
    const QString row23 = grid.relayText(23);
    const QString flipped23 =
            row23 == QStringLiteral("вкл.") ? QStringLiteral("откл.") : QStringLiteral("вкл.");
    const struct
    {
        const char *name;
        Changes changes;
        QList<SettingsDifference> expected;
    } cases[] = {
            {"a changed numeric row",
             {{{parameters, rowName(5)}, QStringLiteral("45")}},
             {{Kind::Differs, 5, rowName(5), row5, QStringLiteral("45")}}},
            {"a changed switch row",
             {{{parameters, rowName(23)}, flipped23}},
             {{Kind::Differs, 23, rowName(23), row23, flipped23}}},
            {"a row missing in the file",
             {{{parameters, rowName(7)}, std::nullopt}},
             {{Kind::NotInFile, 7, rowName(7), grid.relayText(7), {}}}},
            {"a value the load refuses",
             {{{parameters, rowName(5)}, QStringLiteral("4x")}},
             {{Kind::Rejected, 5, rowName(5), row5, QStringLiteral("4x")}}},
            {"several, in row order",
             {{{parameters, rowName(9)}, std::nullopt},
              {{parameters, rowName(5)}, QStringLiteral("45")}},
             {{Kind::Differs, 5, rowName(5), row5, QStringLiteral("45")},
              {Kind::NotInFile, 9, rowName(9), grid.relayText(9), {}}}},
    };
    for (const auto &c : cases) {
        const SettingsComparison comparison = compareWithFile(session, writeFile(c.changes));
        EXPECT_EQ(comparison.differences, c.expected) << c.name;
        EXPECT_FALSE(comparison.equal()) << c.name;
    }
}

TEST_F(SettingsCompareTest, theTimerScheduleIsComparedOnATimerRelay)
{
    readSelected(6, 6);
    const QString mark2 = timer.marks[1].time.toString(QStringLiteral("HH:mm"));
    const QString interval3 = timer.buttons[2];
    const QString other3 =
            interval3 == QStringLiteral("вкл.") ? QStringLiteral("откл.") : QStringLiteral("вкл.");
    const QTime shifted = timer.marks[1].time.addSecs(3600);
    const struct
    {
        const char *name;
        Changes changes;
        QList<SettingsDifference> expected;
    } cases[] = {
            {"a mark moved",
             {{{timers, QStringLiteral("Метка2")}, shifted.toString(QStringLiteral("HH:mm:ss"))}},
             {{Kind::Differs, -1, QStringLiteral("Метка2"), mark2,
               shifted.toString(QStringLiteral("HH:mm"))}}},
            {"seconds the relay does not keep: refused, as loading refuses them",
             {{{timers, QStringLiteral("Метка2")},
               timer.marks[1].time.addSecs(30).toString(QStringLiteral("HH:mm:ss"))}},
             {{Kind::Rejected, -1, QStringLiteral("Метка2"), mark2,
               timer.marks[1].time.addSecs(30).toString(QStringLiteral("HH:mm:ss"))}}},
            {"an interval switched",
             {{{timers, QStringLiteral("Интервал3")}, other3}},
             {{Kind::Differs, -1, QStringLiteral("Интервал3"), interval3, other3}}},
            {"the timer switch missing",
             {{{timers, QStringLiteral("Таймер")}, std::nullopt}},
             {{Kind::NotInFile, -1, QStringLiteral("Таймер"), timer.buttons[6], {}}}},
            {"a mark that is no time",
             {{{timers, QStringLiteral("Метка5")}, QStringLiteral("25:00")}},
             {{Kind::Rejected, -1, QStringLiteral("Метка5"),
               timer.marks[4].time.toString(QStringLiteral("HH:mm")), QStringLiteral("25:00")}}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(compareWithFile(session, writeFile(c.changes)).differences, c.expected) << c.name;
}

// On a type-6 relay every row 0 to 31 counts: each row, mark and switch
// changed alone in the file (a switch flipped, a number one step away within
// its limits, a mark a minute later) is listed, and nothing else. A row whose
// limits hold one value only is listed as a value the load refuses.
TEST_F(SettingsCompareTest, eachItemChangedAloneIsTheOneListed)
{
    readSelected(6, 6);
    const auto flipped = [](const QString &text) {
        return text == onOffTexts[1] ? onOffTexts[0] : onOffTexts[1];
    };
    struct Change
    {
        Kind kind;
        int row;
        QString key;
        QString relayText;
        QString fileText; // as the file holds it
        QString listedText; // as the comparison lists it
    };
    QList<Change> changes;
    for (int row = 0; row <= ConfigRow::lastSwitch; ++row) {
        const QString relay = grid.relayText(row);
        QString other = flipped(relay);
        Kind kind = Kind::Differs;
        if (!switchBitOf(row)) {
            const QString step = catalogue.step(row);
            const quint16 raw = parseValue(step, relay, comma).value_or(0);
            const RawLimits limits = catalogue.storedLimits(row).value_or(RawLimits{});
            other = formatValue(step, quint16(raw < limits.maximum ? raw + 1 : raw - 1), comma);
            if (limits.minimum == limits.maximum)
                kind = Kind::Rejected;
        }
        changes.append({kind, row, rowName(row), relay, other, other});
    }
    for (int mark = 1; mark <= TimerSchedule::markCount; ++mark) {
        const QTime time = timer.marks[size_t(mark - 1)].time;
        changes.append({Kind::Differs, -1, SettingsFile::markKey(mark),
                        time.toString(QStringLiteral("HH:mm")),
                        time.addSecs(60).toString(QStringLiteral("HH:mm:ss")),
                        time.addSecs(60).toString(QStringLiteral("HH:mm"))});
    }
    for (int button = 1; button <= TimerSchedule::buttonCount; ++button) {
        const QString relay = timer.buttons[size_t(button - 1)];
        changes.append({Kind::Differs, -1,
                        button < TimerSchedule::buttonCount ? SettingsFile::intervalKey(button)
                                                            : SettingsFile::timerKey,
                        relay, flipped(relay), flipped(relay)});
    }
    for (const Change &c : changes) {
        const QString section = c.row < 0 ? timers : parameters;
        const SettingsComparison comparison =
                compareWithFile(session, writeFile({{{section, c.key}, c.fileText}}));
        EXPECT_EQ(comparison.differences,
                  (QList<SettingsDifference>{{c.kind, c.row, c.key, c.relayText, c.listedText}}))
                << c.key.toStdString() << ": " << c.fileText.toStdString();
    }
}

TEST_F(SettingsCompareTest, theSessionIsLeftAsItWas)
{
    readSelected(6, 6);
    const QString path = writeFile({{{parameters, rowName(0)}, QStringLiteral("10")},
                                    {{parameters, rowName(5)}, QStringLiteral("45")},
                                    {{parameters, rowName(23)}, QStringLiteral("откл.")},
                                    {{timers, QStringLiteral("Таймер")}, QStringLiteral("откл.")}});
    QStringList before;
    for (int row = 0; row < ConfigRow::count; ++row)
        for (int column = 0; column < ConfigGrid::ColumnCount; ++column)
            before << grid.text(row, column);
    const QString step = catalogue.step(1);
    const auto buttons = timer.buttons;

    EXPECT_FALSE(compareWithFile(session, path).equal());

    QStringList after;
    for (int row = 0; row < ConfigRow::count; ++row)
        for (int column = 0; column < ConfigGrid::ColumnCount; ++column)
            after << grid.text(row, column);
    EXPECT_EQ(after, before);
    EXPECT_EQ(catalogue.step(1), step);
    EXPECT_EQ(timer.buttons, buttons);
    EXPECT_FALSE(flags.unwrittenChanges);
    EXPECT_EQ(readRequests(), 0);
    EXPECT_TRUE(line.requests().isEmpty());
}

TEST_F(SettingsCompareTest, nothingIsComparedBeforeAReadOrWithAnUnreadableFile)
{
    EXPECT_EQ(compareWithFile(session, writeFile({})).outcome,
              SettingsComparison::Outcome::NothingRead);
    readRelay();
    const SettingsComparison missing =
            compareWithFile(session, dir.filePath(QStringLiteral("none.miv")));
    EXPECT_EQ(missing.outcome, SettingsComparison::Outcome::Unreadable);
    EXPECT_FALSE(missing.error.isEmpty());
    EXPECT_FALSE(missing.equal());
}

} // namespace
