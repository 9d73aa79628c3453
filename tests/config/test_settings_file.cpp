#include "config/ConfigEditing.h"
#include "config/ConfigReader.h"
#include "config/ConfigWriter.h"
#include "config/OfflineSettings.h"
#include "config/RelayTypeChoice.h"
#include "config/SettingsAssignment.h"
#include "config/SettingsCarryOver.h"
#include "config/SettingsFile.h"
#include "core/Texts.h"
#include "device/Identification.h"
#include "support/RelayLineFixture.h"
#include "support/Superuser.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>

using namespace miv;

namespace {

const QString on = QStringLiteral("вкл.");
const QString off = QStringLiteral("откл.");
const QString disabled = Texts::functionOff;

// The parameter keys, rows 0-31, as the file names them.
const QStringList keys = {
        "Коэффициент трансформации",
        "Номинальный ток электродвигателя, А",
        "Номинальный ток 2-й ступени , А",
        "Кратность перегрузки",
        "Минимальный ток электродвигателя, %",
        "Диапазон асимметрии токов, %",
        "Ток утечки, %",
        "Сопротивление изоляции, МОм",
        "Номинальное напряжение, В",
        "Максимальное напряжение, В",
        "Минимальное напряжение, В",
        "Гистерезис минимального напряжения, %",
        "Максимальная температура, °C",
        "Количество повторных пусков",
        "Задержка до пуска, с",
        "Время пуска, с",
        "Время до повторного пуска, с",
        "Задержка по минимальному току, с",
        "Задержка по блокировке ротора, с",
        "Задержка по асимметрии, с",
        "Задержка по мин./макс. напряжению, с",
        "Время включения реле КЗ, с",
        "Время выключения реле КЗ, с",
        "Функция короткозамкнутого ротора",
        "Контроль минимального тока",
        "Контроль сопротивления изоляции",
        "Контроль залипания контактов",
        "Контроль тока утечки",
        "Функция импульсного режима реле перегрузки КЗ",
        "2-ая ступень электродвигателя",
        "Контроль чередования фаз",
        "Алгоритм накачки/выкачки резервуара",
};

// What the simulated type-4 relay holds at start (ratio 10), as the file
// keeps it: rows 2, 21 and 22 are disabled on screen, their real values saved.
const QStringList typeFourFileValues = {
        "10", "25,0", "30,0", "2,5", "40", "30", "5",   "0,5", "220",    "250", "180", "10", // 0-11
        "80", "3",    "5",    "10",  "60", "10", "5,0", "5",   "5",      "5",   "5", // 12-22
        on,   on,     on,     off,   on,   off,  off,   on,    disabled, // 23-31
};

QByteArray cp1251(const QString &text)
{
    QStringEncoder encoder("windows-1251");
    return encoder.encode(text);
}

// A file as the program lays it out: both sections, every line ending CRLF.
QByteArray expectedFile(const QStringList &values, const QStringList &marks,
                        const QStringList &captions)
{
    QString text = QStringLiteral("[Параметры]\r\n");
    for (int row = 0; row < keys.size(); ++row)
        text += keys[row] + u'=' + values[row] + QStringLiteral("\r\n");
    text += QStringLiteral("[Таймеры]\r\n");
    for (int i = 0; i < 5; ++i)
        text += QStringLiteral("Метка%1=").arg(i + 1) + marks[i] + QStringLiteral("\r\n");
    for (int i = 0; i < 6; ++i)
        text += QStringLiteral("Интервал%1=").arg(i + 1) + captions[i] + QStringLiteral("\r\n");
    text += QStringLiteral("Таймер=") + captions[6] + QStringLiteral("\r\n");
    return cp1251(text);
}

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

class SettingsFileTest : public RelayLineFixture
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        RelayLineFixture::SetUp();
        readRelay(1, 4);
    }

    void readRelay(quint8 address, quint16 type)
    {
        device.networkAddress = address;
        device.typeCode = type;
        ASSERT_EQ(readConfiguration(session, op), ConfigReadResult::Complete);
    }

    QString path(const QString &name) const { return folder.filePath(name); }

    SettingsFile::LoadResult load(const QString &file)
    {
        return SettingsFile::load(file, session, op);
    }

    // A file with the given parameter lines (Windows-1251, CRLF) and nothing else.
    QString parametersFile(const QStringList &lines,
                           const QString &name = QStringLiteral("hand.miv"))
    {
        QString text = QStringLiteral("[Параметры]\r\n") + lines.join(QStringLiteral("\r\n"))
                + QStringLiteral("\r\n");
        writeBytes(path(name), cp1251(text));
        return path(name);
    }

    QStringList values() const
    {
        QStringList texts;
        for (int row = 0; row <= ConfigRow::lastSwitch; ++row)
            texts << grid.text(row, ConfigGrid::Value);
        return texts;
    }

    QList<int> markedRows() const
    {
        QList<int> rows;
        for (int row = 0; row < ConfigRow::count; ++row)
            if (grid.isMarked(row))
                rows << row;
        return rows;
    }

    QTemporaryDir folder;
};

QList<int> rowsUpTo(int last, std::initializer_list<int> except = {})
{
    QList<int> rows;
    for (int row = 0; row <= last; ++row)
        if (std::find(except.begin(), except.end(), row) == except.end())
            rows << row;
    return rows;
}

TEST_F(SettingsFileTest, savedFileHasTheKnownLayoutByteForByteInWindows1251)
{
    timer.marks[0] = TimerMark::fromWord(0x071E);
    timer.marks[4] = TimerMark::fromWord(0x173B);
    timer.buttons = {on, off, on, off, off, off, on};
    grid.mark(5);

    ASSERT_TRUE(SettingsFile::save(path("a.miv"), grid, timer, op));

    EXPECT_EQ(readBytes(path("a.miv")),
              expectedFile(typeFourFileValues,
                           {"07:30:00", "00:00:00", "00:00:00", "00:00:00", "23:59:00"},
                           {on, off, on, off, off, off, on}));
    EXPECT_TRUE(op.shown().isEmpty()); // no message on success
    EXPECT_EQ(markedRows(), QList<int>{5}); // marks untouched
    // The file really is Windows-1251: "Метка" is 5 bytes, not 10.
    EXPECT_TRUE(
            readBytes(path("a.miv")).contains(QByteArray("\xcc\xe5\xf2\xea\xe0\x31=07:30:00\r\n")));
}

// Names as an operator types them into the dialog: spaces, quotes, Cyrillic letters.
QStringList fileNamesOfOperators(const QString &suffix)
{
    QStringList names{QStringLiteral("twice"), QStringLiteral("Насос №3 «цех 2»"),
                      QStringLiteral(" it's  spaced ")};
#ifndef Q_OS_WIN
    names << QStringLiteral("a \"quoted\" name"); // no file name on Windows may hold '"'
#endif
    for (QString &name : names)
        name += suffix;
    return names;
}

TEST_F(SettingsFileTest, savingTwiceGivesTheSameBytes)
{
    for (const QString &name : fileNamesOfOperators(QStringLiteral(".miv"))) {
        SCOPED_TRACE(name.toStdString());
        ASSERT_TRUE(SettingsFile::save(path(name), grid, timer, op));
        const QByteArray first = readBytes(path(name));
        ASSERT_TRUE(SettingsFile::save(path(name), grid, timer, op));
        EXPECT_EQ(readBytes(path(name)), first);
        EXPECT_EQ(first,
                  expectedFile(typeFourFileValues, QStringList(5, "00:00:00"),
                               QStringList(7, QString())));
        op.answerFileName(path(name));
        EXPECT_TRUE(SettingsFile::askAndLoad(session, op).complete());
        EXPECT_EQ(values()[0], QStringLiteral("10"));
    }
}

TEST_F(SettingsFileTest, savingIntoAFileWithOtherSectionsKeepsThemAndReplacesKeysInPlace)
{
    const QByteArray before = cp1251(QStringLiteral("; заметка оператора\r\n"
                                                    "[Объект]\r\n"
                                                    "Насосная=№3\r\n"
                                                    "\r\n"
                                                    "[Параметры]\r\n"
                                                    "Свой ключ=42\r\n"
                                                    "Коэффициент трансформации=99\r\n"
                                                    "\r\n"
                                                    "[Прочее]\r\n"
                                                    "x=1\r\n"));
    writeBytes(path("old.miv"), before);

    ASSERT_TRUE(SettingsFile::save(path("old.miv"), grid, timer, op));

    QString expected = QStringLiteral(
            "; заметка оператора\r\n[Объект]\r\nНасосная=№3\r\n\r\n[Параметры]\r\nСвой ключ=42\r\n"
            "Коэффициент трансформации=10\r\n");
    for (int row = 1; row < keys.size(); ++row)
        expected += keys[row] + u'=' + typeFourFileValues[row] + QStringLiteral("\r\n");
    expected += QStringLiteral("\r\n[Прочее]\r\nx=1\r\n[Таймеры]\r\n");
    for (int i = 1; i <= 5; ++i)
        expected += QStringLiteral("Метка%1=00:00:00\r\n").arg(i);
    for (int i = 1; i <= 6; ++i)
        expected += QStringLiteral("Интервал%1=\r\n").arg(i);
    expected += QStringLiteral("Таймер=\r\n");
    EXPECT_EQ(readBytes(path("old.miv")), cp1251(expected));
}

TEST_F(SettingsFileTest, disabledRowIsSavedWithItsRealValueAndLoadsBackDisabledWithIt)
{
    // Row 2 is disabled by row 29 "откл." and keeps "30,0" aside.
    ASSERT_EQ(grid.text(2, ConfigGrid::Value), disabled);
    ASSERT_TRUE(SettingsFile::save(path("d.miv"), grid, timer, op));

    // Another configuration on screen: row 29 on, row 2 enabled with another value.
    grid.setText(29, ConfigGrid::Value, on);
    grid.switchToggled(29);
    grid.setText(2, ConfigGrid::Value, QStringLiteral("40,0"));
    ASSERT_FALSE(grid.isDisabled(2));

    const SettingsFile::LoadResult result = load(path("d.miv"));
    EXPECT_TRUE(result.complete());
    EXPECT_EQ(grid.text(2, ConfigGrid::Value), disabled);
    EXPECT_EQ(grid.text(2, ConfigGrid::SavedText), QStringLiteral("30,0"));
    EXPECT_FALSE(grid.isMarked(2));
    EXPECT_TRUE(op.shown().isEmpty());
}

TEST_F(SettingsFileTest, rowDisabledBeforeLoadingComesBackWhenTheFileTurnsItsSwitchOn)
{
    ASSERT_TRUE(grid.isDisabled(2)); // "30,0" put aside
    const QString file = parametersFile(
            {"2-ая ступень электродвигателя=вкл.", "Номинальный ток 2-й ступени , А=45,5"});

    EXPECT_TRUE(load(file).complete());

    EXPECT_FALSE(grid.isDisabled(2));
    EXPECT_EQ(grid.text(2, ConfigGrid::Value), QStringLiteral("45,5"));
    EXPECT_EQ(grid.text(2, ConfigGrid::SavedText), QString());
    EXPECT_TRUE(grid.isMarked(2));
    // A later save writes the loaded value, not the one put aside before.
    ASSERT_TRUE(SettingsFile::save(path("after.miv"), grid, timer, op));
    EXPECT_TRUE(readBytes(path("after.miv"))
                        .contains(cp1251(
                                QStringLiteral("\r\nНоминальный ток 2-й ступени , А=45,5\r\n"))));
}

TEST_F(SettingsFileTest, rowStillDisabledTakesTheLoadedValueAside)
{
    const QString file = parametersFile({"Время включения реле КЗ, с=12"}); // row 28 stays "откл."
    EXPECT_TRUE(load(file).complete());
    EXPECT_EQ(grid.text(21, ConfigGrid::Value), disabled);
    EXPECT_EQ(grid.text(21, ConfigGrid::SavedText), QStringLiteral("12"));
    EXPECT_FALSE(grid.isMarked(21));
}

TEST_F(SettingsFileTest, onlyATimersSectionMarksEveryRowWithoutChangingValues)
{
    writeBytes(path("t.miv"),
               cp1251(QStringLiteral("[Таймеры]\r\nМетка1=7:05\r\nТаймер=вкл.\r\n")));
    const QStringList before = values();
    EXPECT_TRUE(load(path("t.miv")).complete());
    EXPECT_EQ(values(), before);
    EXPECT_EQ(markedRows(), rowsUpTo(31, {2, 21, 22}));
    EXPECT_EQ(timer.marks[0].time, QTime(7, 5));
    EXPECT_EQ(timer.buttons[6], on);
}

TEST_F(SettingsFileTest, valuesOutOfRangeOrNotNumbersAreRejectedAndListedOnce)
{
    grid.mark(9); // a rejected row keeps its mark state: this one marked,
    ASSERT_FALSE(grid.isMarked(3)); // this one not
    const QString file = parametersFile({
            "Максимальное напряжение, В=70000", // row 9: beyond 16 bits
            "Кратность перегрузки=abc", // row 3: no number
            "Минимальный ток электродвигателя, %=81", // row 4: above 80
            "Диапазон асимметрии токов, %=25,5", // row 5: finer than its step
            "Ток утечки, %=-5", // row 6: no sign
            "Контроль минимального тока=да", // row 24: no switch text
            "Минимальное напряжение, В=200", // row 10: taken
    });
    const QStringList before = values();

    const SettingsFile::LoadResult result = load(file);

    ASSERT_TRUE(result.loaded());
    const QStringList rejected{keys[3], keys[4], keys[5], keys[6], keys[9], keys[24]};
    EXPECT_EQ(result.rejectedKeys, rejected);
    ASSERT_EQ(op.shown().size(), 1);
    // Each value refused is named with what the row takes.
    EXPECT_EQ(op.shown()[0].text,
              Texts::settingsValuesRejected.arg(result.rejectedValues.join(u'\n')));
    ASSERT_EQ(result.rejectedValues.size(), rejected.size());
    EXPECT_EQ(result.rejectedValues[0],
              QStringLiteral("Строка 3 «Кратность перегрузки»: значение «abc» недопустимо; "
                             "допустимо 1,1 … 6,0"));
    for (int row : {3, 4, 5, 6, 9, 24})
        EXPECT_EQ(grid.text(row, ConfigGrid::Value), before[row]) << row;
    EXPECT_TRUE(grid.isMarked(9));
    EXPECT_FALSE(grid.isMarked(3));
    EXPECT_FALSE(grid.isMarked(24));
    EXPECT_EQ(grid.text(10, ConfigGrid::Value), QStringLiteral("200"));
    EXPECT_TRUE(grid.isMarked(10));
    for (int row = 0; row < ConfigRow::count; ++row)
        for (int column : {ConfigGrid::Value, ConfigGrid::SavedText})
            EXPECT_FALSE(grid.text(row, column).contains(QStringLiteral("70000")));
}

struct RatioCase
{
    const char *ratio; // row 0 in the file
    const char *current; // row 1 in the file
    bool taken;
    const char *shown; // row 1 afterwards
    const char *step; // resolution of rows 1 and 2 afterwards
    bool rowTwoFits; // row 2, not in the file, keeps its "30,0" (else it is rejected)
};

void PrintTo(const RatioCase &c, std::ostream *os)
{
    *os << "ratio " << c.ratio << ", row 1 " << c.current;
}

class RatioOfTheFile : public SettingsFileTest, public ::testing::WithParamInterface<RatioCase>
{ };

TEST_P(RatioOfTheFile, rowsOneAndTwoFollowTheRatioTheFileSets)
{
    const RatioCase c = GetParam();
    const QString file = parametersFile(
            {QStringLiteral("Коэффициент трансформации=") + QString::fromUtf8(c.ratio),
             QStringLiteral("Номинальный ток электродвигателя, А=")
                     + QString::fromUtf8(c.current)});
    const SettingsFile::LoadResult result = load(file);
    EXPECT_EQ(result.rejectedKeys.contains(keys[1]), !c.taken);
    EXPECT_EQ(result.rejectedKeys.contains(keys[2]), !c.rowTwoFits);
    EXPECT_EQ(grid.text(1, ConfigGrid::Value), QString::fromUtf8(c.shown));
    EXPECT_EQ(catalogue.step(1), QString::fromUtf8(c.step));
    EXPECT_EQ(catalogue.step(2), QString::fromUtf8(c.step));
}

INSTANTIATE_TEST_SUITE_P(
        Ratios, RatioOfTheFile,
        ::testing::Values(RatioCase{"21", "50", true, "50", "1", true}, // 21..105
                          RatioCase{"21", "106", false, "25,0", "1", true},
                          RatioCase{"21", "50,5", false, "25,0", "1", true}, // finer than "1"
                          RatioCase{"2", "9,99", true, "9,99", ".01", false}, // 200..999 raw
                          RatioCase{"2", "10", false, "25,0", ".01", false},
                          RatioCase{"10", "50", true, "50,0", ".1", true}, // 100..500 raw
                          RatioCase{"10", "50,1", false, "25,0", ".1", true},
                          // A ratio the file gets wrong is rejected; the grid's 10 holds.
                          RatioCase{"250", "12,5", true, "12,5", ".1", true}));

struct MarkCase
{
    const char *text;
    bool taken;
    QTime time;
};

void PrintTo(const MarkCase &c, std::ostream *os)
{
    *os << '"' << c.text << '"';
}

class MarkTexts : public SettingsFileTest, public ::testing::WithParamInterface<MarkCase>
{ };

TEST_P(MarkTexts, marksTakeOneDigitHoursAndMissingSeconds)
{
    const MarkCase c = GetParam();
    timer.marks[1] = TimerMark::fromWord(0x0B2D); // 11:45 before
    writeBytes(path("m.miv"),
               cp1251(QStringLiteral("[Таймеры]\r\nМетка2=") + QString::fromUtf8(c.text)
                      + QStringLiteral("\r\n")));
    const SettingsFile::LoadResult result = load(path("m.miv"));
    EXPECT_EQ(result.rejectedKeys, c.taken ? QStringList() : QStringList{QStringLiteral("Метка2")});
    EXPECT_EQ(timer.marks[1].time, c.taken ? c.time : QTime(11, 45));
    EXPECT_TRUE(timer.marks[1].valid);
    EXPECT_EQ(timer.marks[1].word, TimerSchedule::markWord(timer.marks[1].time));
}

INSTANTIATE_TEST_SUITE_P(
        Times, MarkTexts,
        ::testing::Values(MarkCase{"7:30", true, QTime(7, 30)},
                          MarkCase{"07:30", true, QTime(7, 30)},
                          MarkCase{"7:30:00", true, QTime(7, 30)},
                          // the relay keeps no seconds: none is dropped silently
                          MarkCase{"07:30:15", false, {}}, MarkCase{" 23:59 ", true, QTime(23, 59)},
                          MarkCase{"24:00", false, {}}, MarkCase{"12:60", false, {}},
                          MarkCase{"7.30", false, {}}, MarkCase{"730", false, {}},
                          MarkCase{"полдень", false, {}}, MarkCase{"", false, {}}));

TEST_F(SettingsFileTest, captionsOtherThanTheSwitchTextsAreRejected)
{
    timer.buttons = {on, on, on, on, on, on, on};
    writeBytes(
            path("c.miv"),
            cp1251(QStringLiteral(
                    "[Таймеры]\r\nИнтервал1=откл.\r\nИнтервал2=on\r\nИнтервал3=\r\nТаймер=вкл\r\n")));
    const SettingsFile::LoadResult result = load(path("c.miv"));
    EXPECT_EQ(result.rejectedKeys,
              (QStringList{QStringLiteral("Интервал2"), QStringLiteral("Таймер")}));
    // A key the file leaves out keeps its caption, as a missing row keeps its value.
    const std::array<QString, 7> expected{off, on, QString(), on, on, on, on};
    EXPECT_EQ(timer.buttons, expected);
}

// A file with no timer section leaves the marks as nobody gave them (shown
// empty, as rows the file lacks), not as midnight.
TEST_F(SettingsFileTest, aFileWithoutTimersLeavesTheMarksUngiven)
{
    timer = TimerSchedule();
    EXPECT_TRUE(load(parametersFile({"Кратность перегрузки=2,5"})).complete());
    for (const TimerMark &mark : timer.marks)
        EXPECT_FALSE(mark.given);
}

TEST_F(SettingsFileTest, fileOfATypeFourRelayLoadsOnTypeFourAndOnTypeSix)
{
    ASSERT_TRUE(SettingsFile::save(path("four.miv"), grid, timer, op));

    // Back on a type-4 relay: everything taken, row 31 stays disabled.
    grid.setText(10, ConfigGrid::Value, QStringLiteral("190"));
    EXPECT_TRUE(load(path("four.miv")).complete());
    EXPECT_EQ(grid.text(10, ConfigGrid::Value), QStringLiteral("180"));
    EXPECT_EQ(grid.text(31, ConfigGrid::Value), disabled);
    EXPECT_TRUE(op.shown().isEmpty());
    // Loaded before the configuration was read, row 31 shows what a type-4
    // relay shows there, so that the file saved next loads again.
    grid.fillFromCatalogue(catalogue);
    EXPECT_TRUE(load(path("four.miv")).complete());
    EXPECT_EQ(grid.text(31, ConfigGrid::Value), disabled);

    // On a type-6 relay the row takes only a switch text: that key alone is refused.
    grid.fillFromCatalogue(catalogue);
    readRelay(6, 6);
    const QString rowThirtyOne = grid.text(31, ConfigGrid::Value);
    const SettingsFile::LoadResult onSix = load(path("four.miv"));
    EXPECT_EQ(onSix.rejectedKeys, QStringList{keys[31]});
    EXPECT_EQ(grid.text(31, ConfigGrid::Value), rowThirtyOne);
    EXPECT_EQ(grid.text(10, ConfigGrid::Value), QStringLiteral("180"));
}

TEST_F(SettingsFileTest, aMissingFileOrOneWithNeitherSectionChangesNothingAndSaysWhy)
{
    const auto garbage = [] {
        QByteArray bytes;
        for (int i = 0; i < 4096; ++i)
            bytes.append(char((i * 73 + 11) % 256));
        return bytes;
    };
    const QString text = QStringLiteral(
            "[Параметры]\r\nКоэффициент трансформации=7\r\n[Таймеры]\r\nМетка1=07:30:00\r\n");
    QStringEncoder utf16(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
    struct Case
    {
        const char *name;
        std::optional<QByteArray> bytes; // nullopt: no such file; empty: a sparse file of 100 MB
        QString reason; // what the message says after the file's name
    };
    const Case cases[] = {
            {"nowhere.miv", std::nullopt, QStringLiteral("файл не найден")},
            {"garbage.miv", garbage(), QStringLiteral("в нём двоичные данные")},
            {"ini.miv", QByteArray("[p]\r\nPort=COM1\r\n"), QStringLiteral("это не файл настроек")},
            {"utf16.miv", utf16.encode(text), QStringLiteral("он в кодировке UTF-16")},
            {"nul.miv", cp1251(text) + QByteArray(512, '\0'),
             QStringLiteral("байт 0x00 в строке 5")},
            {"huge.miv", QByteArray(), QStringLiteral("больше 16777216 байт")},
            {"long line.miv", cp1251(text) + "; " + QByteArray(1024 * 1024, '-') + "\r\n",
             QStringLiteral("строка 5 длиннее")},
    };
    grid.mark(3);
    const QStringList before = values();
    const QList<int> marksBefore = markedRows();
    const std::array<TimerMark, TimerSchedule::markCount> timerMarks = timer.marks;
    const std::array<QString, TimerSchedule::buttonCount> timerButtons = timer.buttons;
    const qsizetype requests = line.requests().size();
    for (const Case &c : cases) {
        op.clearShown();
        const QString file = path(QString::fromLatin1(c.name));
        if (c.bytes && c.bytes->isEmpty()) {
            QFile sparse(file);
            ASSERT_TRUE(sparse.open(QIODevice::WriteOnly) && sparse.resize(100 * 1024 * 1024));
        } else if (c.bytes) {
            writeBytes(file, *c.bytes);
        }
        const SettingsFile::LoadResult result = load(file);
        QFile::remove(file);
        EXPECT_EQ(result.outcome, SettingsFile::LoadResult::Outcome::Unreadable) << c.name;
        EXPECT_EQ(values(), before) << c.name;
        EXPECT_EQ(markedRows(), marksBefore) << c.name;
        for (int mark = 0; mark < TimerSchedule::markCount; ++mark)
            EXPECT_EQ(timer.marks[mark].word, timerMarks[mark].word) << c.name;
        EXPECT_EQ(timer.buttons, timerButtons) << c.name;
        ASSERT_EQ(op.shown().size(), 1) << c.name;
        EXPECT_EQ(op.shown()[0].icon, Operator::Icon::Error);
        EXPECT_TRUE(op.shown()[0].text.contains(file) && op.shown()[0].text.contains(c.reason))
                << op.shown()[0].text.toStdString();
    }
    EXPECT_EQ(line.requests().size(), requests); // loading never talks to the relay
}

TEST_F(SettingsFileTest, aFileInUtf8OrWithRepeatedKeysIsReadAndTheOperatorToldOfRepeats)
{
    const QString text = QStringLiteral("[Параметры]\r\nКоэффициент трансформации=20\r\n"
                                        "[Таймеры]\r\nМетка1=07:30\r\n");
    const QString repeated =
            QStringLiteral("Ключ «Коэффициент трансформации» в разделе [Параметры] повторяется "
                           "(строки 2 и 3): действует первое значение.");
    struct Case
    {
        const char *name;
        QByteArray bytes;
        QStringList notices;
    };
    const Case cases[] = {
            {"utf8 bom.miv", "\xEF\xBB\xBF" + text.toUtf8(), {}},
            {"utf8.miv", text.toUtf8(), {}},
            {"repeated.miv",
             cp1251(QString(text).replace(
                     QStringLiteral("=20\r\n"),
                     QStringLiteral("=20\r\nКоэффициент трансформации=2\r\n"))),
             {repeated}},
    };
    readRelay(6, 6); // a relay with the timer: the file's mark is its own
    const qsizetype requests = line.requests().size();
    for (const Case &c : cases) {
        op.clearShown();
        grid.setText(0, ConfigGrid::Value, QStringLiteral("10"));
        writeBytes(path(QString::fromLatin1(c.name)), c.bytes);
        const SettingsFile::LoadResult result = load(path(QString::fromLatin1(c.name)));
        ASSERT_TRUE(result.loaded()) << c.name << " " << result.error.toStdString();
        EXPECT_EQ(grid.text(0, ConfigGrid::Value), QStringLiteral("20"))
                << c.name; // the first value counts
        EXPECT_EQ(timer.marks[0].time, QTime(7, 30)) << c.name;
        EXPECT_EQ(result.notices, c.notices) << c.name;
        if (c.notices.isEmpty()) {
            EXPECT_TRUE(op.shown().isEmpty()) << c.name;
            continue;
        }
        ASSERT_EQ(op.shown().size(), 1) << c.name;
        EXPECT_EQ(op.shown()[0].icon, Operator::Icon::Warning);
        EXPECT_EQ(op.shown()[0].text,
                  Texts::settingsFileRepeats.arg(path(QString::fromLatin1(c.name)), repeated));
    }
    EXPECT_EQ(line.requests().size(), requests);
}

TEST_F(SettingsFileTest, saveThatFailsKeepsTheEarlierFileAndSaysWhy)
{
    // The temporary file beside the target cannot be made: its name would be
    // longer than a file name may be (this fails for any user, root too).
    const QString longName = QString(248, u'n') + QStringLiteral(".miv");
    const QByteArray earlier =
            cp1251(QStringLiteral("[Параметры]\r\nКоэффициент трансформации=7\r\n"));
    writeBytes(path(longName), earlier);

    EXPECT_FALSE(SettingsFile::save(path(longName), grid, timer, op));

    EXPECT_EQ(readBytes(path(longName)), earlier);
    ASSERT_EQ(op.shown().size(), 1);
    EXPECT_EQ(op.shown()[0].icon, Operator::Icon::Error);
    EXPECT_TRUE(op.shown()[0].text.contains(path(longName)));
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files).size(),
              1); // no temporary file left behind
}

TEST_F(SettingsFileTest, saveOntoADirectoryFails)
{
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("dir.miv")));
    QString error;
    EXPECT_FALSE(SettingsFile::save(path("dir.miv"), grid, timer, &error));
    EXPECT_TRUE(error.contains(path("dir.miv")));
    EXPECT_TRUE(QFileInfo(path("dir.miv")).isDir());
}

TEST_F(SettingsFileTest, saveIntoAFolderWithoutWriteAccessKeepsTheEarlierFile)
{
    if (runsAsSuperuser())
        GTEST_SKIP() << "root writes into any folder";
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("ro")));
    const QString target = path("ro/x.miv");
    writeBytes(target, "[Параметры]\r\n");
    QFile::setPermissions(path("ro"), QFile::ReadOwner | QFile::ExeOwner);
    EXPECT_FALSE(SettingsFile::save(target, grid, timer, op));
    QFile::setPermissions(path("ro"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(readBytes(target), QByteArray("[Параметры]\r\n"));
}

TEST_F(SettingsFileTest, dialogNameWithoutExtensionGetsMiv)
{
    op.answerFileName(path("noext"));
    ASSERT_TRUE(SettingsFile::askAndSave(op, grid, timer));
    EXPECT_TRUE(QFile::exists(path("noext.miv")));
    EXPECT_FALSE(QFile::exists(path("noext")));

    // The open dialog's name without extension finds the same file.
    grid.setText(0, ConfigGrid::Value, QStringLiteral("20"));
    op.answerFileName(path("noext"));
    EXPECT_TRUE(SettingsFile::askAndLoad(session, op).complete());
    EXPECT_EQ(grid.text(0, ConfigGrid::Value), QStringLiteral("10"));

    EXPECT_EQ(SettingsFile::withDefaultSuffix(QStringLiteral("/a/b.cfg")),
              QStringLiteral("/a/b.cfg"));
    EXPECT_EQ(SettingsFile::withDefaultSuffix(QStringLiteral("/a.d/b")),
              QStringLiteral("/a.d/b.miv"));
}

TEST_F(SettingsFileTest, cancelledDialogsDoNothing)
{
    op.answerFileName(QString());
    EXPECT_FALSE(SettingsFile::askAndSave(op, grid, timer));
    op.answerFileName(QString());
    EXPECT_EQ(SettingsFile::askAndLoad(session, op).outcome,
              SettingsFile::LoadResult::Outcome::Cancelled);
    EXPECT_TRUE(markedRows().isEmpty());
    EXPECT_TRUE(op.shown().isEmpty());
    EXPECT_TRUE(QDir(folder.path()).entryList(QDir::Files).isEmpty());
}

// ---- A settings file with no relay at hand ----

TEST_F(SettingsFileTest, withNoRelayAFileOpensForTheTypeChosenAndEditsWithoutPassword)
{
    QStringList lines; // the type-4 relay's file without row 5
    for (int row = 0; row < keys.size(); ++row)
        if (row != 5)
            lines << keys[row] + u'=' + typeFourFileValues[row];
    const QString file = parametersFile(lines);
    const QString frontIni = path("front.ini");
    line.clearRequests();

    op.answerChoice(1); // "МИВ-06"
    op.answerFileName(file);
    ASSERT_TRUE(OfflineSettings::loadExecute(session, op, frontIni).loaded());
    EXPECT_EQ(op.choicesOffered().front(),
              (std::pair{QStringList{QStringLiteral("МИВ-04"), QStringLiteral("МИВ-06")}, 0}));
    EXPECT_EQ(RelayTypeChoice::lastChosen(frontIni), quint16(6));
    EXPECT_TRUE(session.holdsFile());
    EXPECT_EQ(device.typeCode, 6);
    EXPECT_EQ(device.networkAddress, 0);
    EXPECT_FALSE(flags.editingLocked);
    EXPECT_TRUE(markedRows().isEmpty());
    // Row 31 of a type-4 file is no value for type 6 and row 5 is missing:
    // both are told and stay empty; the timer switches read off.
    ASSERT_EQ(op.shown().size(), 1);
    EXPECT_TRUE(op.shown()[0].text.contains(keys[31]) && op.shown()[0].text.contains(keys[5]));
    EXPECT_TRUE(grid.text(5, ConfigGrid::Value).isEmpty());
    EXPECT_TRUE(grid.text(31, ConfigGrid::Value).isEmpty());
    EXPECT_EQ(timer.buttons, (std::array<QString, 7>{off, off, off, off, off, off, off}));

    // Edited as a relay's grid, with no password: a switch flips, a missing
    // value is given, rows 32 and 33 do nothing; nothing goes to the line.
    ConfigEditor editor(session, op);
    const auto doubleClick = [&editor](int row) {
        editor.selectRow(row);
        return editor.activateSelectedRow();
    };
    EXPECT_EQ(doubleClick(26), EditOutcome::SwitchFlipped);
    EXPECT_EQ(doubleClick(31), EditOutcome::SwitchFlipped);
    op.answerEdit(Operator::ValueEditResult{QStringLiteral("35"), 35});
    EXPECT_EQ(doubleClick(5), EditOutcome::ValueChanged);
    EXPECT_EQ(doubleClick(32), EditOutcome::Nothing);
    EXPECT_EQ(doubleClick(33), EditOutcome::Nothing);
    EXPECT_EQ(op.passwordPrompts() + op.passwordChangePrompts(), 0);
    EXPECT_EQ(markedRows(), (QList<int>{5, 26, 31}));
    EXPECT_EQ(grid.text(31, ConfigGrid::Value), on);
    EXPECT_TRUE(session.holdsUnwrittenChanges());
    EXPECT_TRUE(line.requests().isEmpty());

    // Saved, the file opens whole for type 6, and type 6 is offered first.
    ASSERT_TRUE(OfflineSettings::save(session, file, op));
    EXPECT_FALSE(session.holdsUnwrittenChanges());
    op.answerChoice(1);
    op.answerFileName(file);
    op.clearShown();
    EXPECT_TRUE(OfflineSettings::loadExecute(session, op, frontIni).complete());
    EXPECT_EQ(op.choicesOffered().back().second, 1);
    EXPECT_TRUE(op.shown().isEmpty());
    EXPECT_EQ(grid.text(5, ConfigGrid::Value), QStringLiteral("35"));
}

// After a scan the relay's values belong to no relay: a file is opened for a
// type (never into that relay's grid), and changes not written are dropped
// only on the operator's word.
TEST_F(SettingsFileTest, afterAScanAFileOpensForATypeAndAsksBeforeDroppingChanges)
{
    const QString file = parametersFile({keys[5] + QStringLiteral("=35")});
    session.valuesOwner = session.selectedRelay();
    grid.mark(4);
    session.releaseRelayValues();
    device.networkAddress = 0;
    op.answer(Operator::Answer::No);
    EXPECT_EQ(OfflineSettings::loadExecute(session, op, path("front.ini")).outcome,
              SettingsFile::LoadResult::Outcome::Cancelled);
    EXPECT_TRUE(grid.isMarked(4)) << "kept";
    EXPECT_TRUE(op.choicesOffered().isEmpty()) << "no type asked after No";

    op.answer(Operator::Answer::Ok);
    op.answerChoice(0);
    op.answerFileName(file);
    EXPECT_TRUE(OfflineSettings::loadExecute(session, op, path("front.ini")).loaded());
    EXPECT_EQ(op.choicesOffered().size(), 1) << "the type is asked";
    EXPECT_TRUE(session.holdsFile());
    EXPECT_FALSE(grid.isMarked(4));
}

TEST_F(SettingsFileTest, aHeldFileReachesAnIdentifiedRelayOnlyAsMarkedRowsAfterItsPassword)
{
    ASSERT_TRUE(SettingsFile::save(path("four.miv"), grid, timer, op));
    struct Case
    {
        Operator::Answer answer;
        std::optional<QString> password;
        SettingsCarryOver::Result::Outcome outcome;
        QList<int> marked;
        bool stillOffered;
    };
    using Outcome = SettingsCarryOver::Result::Outcome;
    const Case cases[] = {
            {Operator::Answer::No, {}, Outcome::Declined, {}, false},
            {Operator::Answer::Yes, QStringLiteral("ABCE"), Outcome::StillLocked, {}, true},
            {Operator::Answer::Yes, QStringLiteral("ABCD"), Outcome::Carried, {5, 26}, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(int(c.outcome));
        ASSERT_TRUE(OfflineSettings::open(session, path("four.miv"), 4).load.complete());
        grid.setText(5, ConfigGrid::Value, QStringLiteral("35")); // edited with no relay
        grid.setText(26, ConfigGrid::Value, on);
        // Identified, the relay gets an empty grid: the file's values are put aside.
        ASSERT_EQ(identifyRelay(session, op, 0).outcome, IdentificationResult::Outcome::Identified);
        EXPECT_FALSE(session.holdsFile());
        EXPECT_TRUE(grid.text(5, ConfigGrid::Value).isEmpty());
        line.clearRequests();
        op.clearShown();

        op.answer(c.answer);
        if (c.password)
            op.answerPassword(c.password);
        const SettingsCarryOver::Result result = SettingsCarryOver::offerHeldFile(session, op);
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(markedRows(), c.marked);
        EXPECT_EQ(session.heldFile.has_value(), c.stillOffered);
        EXPECT_TRUE(writes().isEmpty());
        session.heldFile.reset();
    }
    // Listed for the operator, and written by "Записать" as any change.
    const QString told = op.shown().back().text;
    EXPECT_TRUE(told.contains(keys[5] + QStringLiteral(": 30 → 35"))) << told.toStdString();
    EXPECT_TRUE(told.contains(keys[26] + QStringLiteral(": откл. → вкл."))) << told.toStdString();
    EXPECT_EQ(writeConfiguration(session, op).outcome, ConfigWriteResult::Outcome::Written);
    EXPECT_EQ(writes(), (QList<RegisterWrite>{{0x55, 35}, {0x80, 0x37}}));
}

TEST_F(SettingsFileTest, aHeldFileIsSavedOnlyWithValuesItWouldLoadAgain)
{
    QStringList lines; // the type-4 relay's file without row 5
    for (int row = 0; row < keys.size(); ++row)
        if (row != 5)
            lines << keys[row] + u'=' + typeFourFileValues[row];
    const QString file = parametersFile(lines);
    ASSERT_TRUE(OfflineSettings::open(session, file, 4).load.loaded());
    const QByteArray opened = readBytes(file);
    EXPECT_EQ(OfflineSettings::stateText(session),
              QStringLiteral("Файл настроек «hand.miv» для МИВ-04, без устройства"));

    // A new ratio leaves rows 1 and 2 (disabled, its value aside) outside their limits.
    ConfigEditor editor(session, op);
    editor.selectRow(0);
    op.answerEdit(Operator::ValueEditResult{QStringLiteral("50"), 50});
    ASSERT_EQ(editor.activateSelectedRow(), EditOutcome::ValueChanged);
    EXPECT_TRUE(OfflineSettings::stateText(session).endsWith(QStringLiteral(" (не сохранён)")));
    EXPECT_EQ(OfflineSettings::unsavableRows(session), (QList<int>{1, 2}));
    EXPECT_FALSE(OfflineSettings::save(session, file, op));
    EXPECT_EQ(readBytes(file), opened);
    EXPECT_TRUE(op.shownTexts().last().contains(keys[1]
                                                + QStringLiteral(": 25,0 (допустимо 50 … 250)")))
            << op.shownTexts().last().toStdString();

    // Back at ratio 10 it is saved; the row the file gave no value for is not written.
    editor.selectRow(0);
    op.answerEdit(Operator::ValueEditResult{QStringLiteral("10"), 10});
    ASSERT_EQ(editor.activateSelectedRow(), EditOutcome::ValueChanged);
    ASSERT_TRUE(OfflineSettings::save(session, file, op));
    EXPECT_FALSE(readBytes(file).contains(cp1251(keys[5])));
    EXPECT_FALSE(OfflineSettings::stateText(session).contains(QStringLiteral("не сохранён")));

    // A "front.ini" that cannot be read is never written over: the type is only noted.
    writeBytes(path("front.ini"), QByteArray(64, '\0'));
    op.answerChoice(0);
    EXPECT_EQ(RelayTypeChoice::ask(op, path("front.ini")), quint16(4));
    EXPECT_EQ(readBytes(path("front.ini")), QByteArray(64, '\0'));
    EXPECT_EQ(op.notes().size(), 1);
}

TEST_F(SettingsFileTest, aTypeSixFileCarriesItsTimerAndNoValueTheRelayMayNotTake)
{
    readRelay(6, 6);
    ASSERT_TRUE(SettingsFile::save(path("six.miv"), grid, timer, op));
    ASSERT_TRUE(OfflineSettings::open(session, path("six.miv"), 6).load.complete());
    grid.setText(31, ConfigGrid::Value, off);
    timer.marks[0] = {QTime(7, 30), TimerSchedule::markWord(QTime(7, 30)), true};
    timer.buttons[1] = on;
    ASSERT_EQ(identifyRelay(session, op, 5).outcome, IdentificationResult::Outcome::Identified);
    op.answer(Operator::Answer::Yes);
    op.answerPassword(QStringLiteral("ABCD"));
    const QList<SettingsDifference> carried =
            SettingsCarryOver::offerHeldFile(session, op).differences;
    using Kind = SettingsDifference::Kind;
    EXPECT_EQ(carried,
              (QList<SettingsDifference>{
                      {Kind::Differs, 31, keys[31], on, off},
                      {Kind::Differs, -1, QStringLiteral("Метка1"), "06:30", "07:30"},
                      {Kind::Differs, -1, QStringLiteral("Интервал2"), off, on}}));
    EXPECT_TRUE(timer.changedSinceRead());

    // A type-4 file's row 31 is no value for this relay: listed, not carried.
    SettingsSnapshot four = SettingsSnapshot::of(grid, timer);
    four.values[31] = disabled;
    const QList<SettingsDifference> fromFour = SettingsCarryOver::carryOver(session, four, 4);
    EXPECT_TRUE(fromFour.contains(SettingsDifference{Kind::Rejected, 31, keys[31], on, disabled}));
    EXPECT_EQ(grid.text(31, ConfigGrid::Value), off);
}

// A МИВ-06 file meets a МИВ-04 relay: what the relay has no place for is
// said before anything is carried, however the file reaches it.
TEST_F(SettingsFileTest, aFileOfAnotherTypeSaysWhatItLosesBeforeAnythingIsCarried)
{
    readRelay(6, 6);
    ASSERT_TRUE(SettingsFile::save(path("six.miv"), grid, timer, op));
    const QString lost = QStringLiteral(
            "Файл настроек «six.miv» составлен для МИВ-06, а устройство — МИВ-04: у него нет "
            "управления по таймеру (метки, интервалы, «Таймер») и алгоритма накачки/выкачки "
            "резервуара, и эти значения файла перенесены не будут.");

    // Held with no relay, then offered to relay 1: the question says it.
    ASSERT_TRUE(OfflineSettings::open(session, path("six.miv"), 6).load.complete());
    ASSERT_EQ(identifyRelay(session, op, 0).outcome, IdentificationResult::Outcome::Identified);
    op.clearShown();
    op.answer(Operator::Answer::No);
    SettingsCarryOver::offerHeldFile(session, op);
    ASSERT_EQ(op.shown().size(), 1);
    EXPECT_TRUE(op.shown()[0].text.contains(u'\r' + lost)) << op.shown()[0].text.toStdString();

    // Loaded into the relay's grid ("Загрузить из файла...", `config write --load`).
    op.clearShown();
    EXPECT_TRUE(SettingsFile::load(path("six.miv"), session, op).loaded());
    EXPECT_EQ(op.shownTexts(), QStringList{lost});
    // A file saved from a МИВ-04 gives nothing of the kind.
    ASSERT_TRUE(SettingsFile::save(path("four.miv"), grid, TimerSchedule(), op));
    op.clearShown();
    EXPECT_TRUE(SettingsFile::load(path("four.miv"), session, op).loaded());
    EXPECT_TRUE(op.shown().isEmpty()) << op.shownTexts().join(u'|').toStdString();

    // Opened for a МИВ-04 with no relay, and a МИВ-04 file offered to a МИВ-06.
    op.answerChoice(0);
    op.answerFileName(path("six.miv"));
    session.valuesOwner.reset();
    OfflineSettings::loadExecute(session, op, path("front.ini"));
    EXPECT_TRUE(op.shownTexts().last().startsWith(QStringLiteral(
            "Файл настроек «six.miv» составлен для МИВ-06, а выбран тип МИВ-04: у него нет")));
    EXPECT_EQ(SettingsTypeFit::warning(QStringLiteral("four.miv"), 4, {}, 6),
              QStringLiteral("Файл настроек «four.miv» составлен для МИВ-04, а устройство — "
                             "МИВ-06: управления по таймеру и алгоритма накачки/выкачки "
                             "резервуара в файле нет, в устройстве они останутся как есть."));
}

TEST_F(SettingsFileTest, valuesSetOnAHeldFileAreJudgedTogether)
{
    ASSERT_TRUE(SettingsFile::save(path("four.miv"), grid, timer, op));
    const auto apply = [this](const QStringList &texts, quint16 type) {
        EXPECT_TRUE(OfflineSettings::open(session, path("four.miv"), type).load.loaded());
        QList<SettingsAssignment::Assignment> assignments;
        for (const QString &text : texts)
            assignments << *SettingsAssignment::parse(text);
        return SettingsAssignment::apply(session, assignments);
    };
    struct Refused
    {
        QStringList assignments;
        quint16 type;
        const char *refusal;
    };
    const Refused refused[] = {
            {{"3=7"},
             4,
             "Строка 3 «Кратность перегрузки»: значение «7» недопустимо; допустимо 1,1 … 6,0"},
            {{"3=2,55"}, 4, "значение «2,55» недопустимо"},
            {{"0=50"},
             4,
             "Строка 1 «Номинальный ток электродвигателя, А»: значение 25,0 не подходит к коэффициенту трансформации 50; допустимо 50 … 250"},
            {{"0=50", "1=100"}, 4, "Строка 2"}, // disabled, its 30,0 follows the ratio too
            {{"31=вкл."}, 4, "У МИВ-04 нет строки «Алгоритм накачки/выкачки резервуара»"},
            {{"Метка1=07:30"}, 4, "У МИВ-04 нет строки «Метка1»"},
            {{"8=220"}, 4, "не изменяется"},
            {{"32=0"}, 4, "нет в файле настроек"},
            {{"99=1"}, 4, "Строки «99» нет"},
            {{"5=30", "Диапазон асимметрии токов, %=31"}, 4, "задана дважды"},
            {{"23=да"}, 4, "допустимо вкл. / откл."},
            {{"Метка2=24:00"}, 6, "Метка2: значение «24:00» недопустимо"},
    };
    for (const Refused &c : refused) {
        SCOPED_TRACE(c.assignments.join(u' ').toStdString());
        const QString refusals = apply(c.assignments, c.type).refusals.join(u'\n');
        EXPECT_TRUE(refusals.contains(QString::fromUtf8(c.refusal))) << refusals.toStdString();
        EXPECT_TRUE(markedRows().isEmpty()); // nothing changed
    }

    struct Taken
    {
        QStringList assignments;
        quint16 type;
        QList<int> marked;
        int row; // a row to look at: shown and put aside
        const char *shown;
        const char *aside;
    };
    const Taken taken[] = {
            {{"0=50", "1=100", "2=150"}, 4, {0, 1}, 2, "[фукнк. откл.]", "150"},
            {{"Кратность перегрузки=2.6", "23=откл."}, 4, {23}, 3, "[фукнк. откл.]", "2,6"},
            {{"Метка1=7:30", "Таймер=вкл.", "31=вкл."}, 6, {31}, 31, "вкл.", ""},
    };
    for (const Taken &c : taken) {
        SCOPED_TRACE(c.assignments.join(u' ').toStdString());
        EXPECT_TRUE(apply(c.assignments, c.type).done());
        EXPECT_EQ(markedRows(), c.marked);
        EXPECT_EQ(grid.text(c.row, ConfigGrid::Value), QString::fromUtf8(c.shown));
        EXPECT_EQ(grid.text(c.row, ConfigGrid::SavedText), QString::fromUtf8(c.aside));
    }
    EXPECT_EQ(timer.marks[0].time, QTime(7, 30));
    EXPECT_EQ(timer.buttons[6], on);
    EXPECT_FALSE(SettingsAssignment::parse(QStringLiteral("=5")).has_value());
}

} // namespace
