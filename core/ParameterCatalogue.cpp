#include "core/ParameterCatalogue.h"

#include "core/RegisterMap.h"

#include <algorithm>

namespace miv {

namespace {

namespace R = RelayRegister;

// Register n of the first and of the second numeric configuration block.
constexpr quint16 firstBlock(int n)
{
    return quint16(R::firstConfigBlock + n);
}
constexpr quint16 secondBlock(int n)
{
    return quint16(R::secondConfigBlock + n);
}

std::array<ParameterRecord, ConfigRow::count> makeRecords()
{
    // name, register, resolution, raw minimum, raw maximum
    return {{
            {QStringLiteral("Коэффициент трансформации"), firstBlock(0), QStringLiteral("1"),
             QStringLiteral("1"), QStringLiteral("200")}, // 0
            {QStringLiteral("Номинальный ток электродвигателя, А"), firstBlock(1),
             QStringLiteral(".01"), QStringLiteral("1"), QStringLiteral("999")}, // 1
            {QStringLiteral("Номинальный ток 2-й ступени , А"), firstBlock(2),
             QStringLiteral(".01"), QStringLiteral("1"), QStringLiteral("999")}, // 2
            {QStringLiteral("Кратность перегрузки"), firstBlock(3), QStringLiteral(".1"),
             QStringLiteral("11"), QStringLiteral("60")}, // 3
            {QStringLiteral("Минимальный ток электродвигателя, %"), firstBlock(4),
             QStringLiteral("1"), QStringLiteral("20"), QStringLiteral("80")}, // 4
            {QStringLiteral("Диапазон асимметрии токов, %"), firstBlock(5), QStringLiteral("1"),
             QStringLiteral("10"), QStringLiteral("50")}, // 5
            {QStringLiteral("Ток утечки, %"), firstBlock(6), QStringLiteral("1"),
             QStringLiteral("5"), QStringLiteral("10")}, // 6
            {QStringLiteral("Сопротивление изоляции, МОм"), firstBlock(7), QStringLiteral(".1"),
             QStringLiteral("2"), QStringLiteral("10")}, // 7
            {QStringLiteral("Номинальное напряжение, В"), firstBlock(8), QStringLiteral("1"),
             QStringLiteral("220"), QStringLiteral("220")}, // 8
            {QStringLiteral("Максимальное напряжение, В"), firstBlock(9), QStringLiteral("1"),
             QStringLiteral("240"), QStringLiteral("280")}, // 9
            {QStringLiteral("Минимальное напряжение, В"), firstBlock(10), QStringLiteral("1"),
             QStringLiteral("150"), QStringLiteral("210")}, // 10
            {QStringLiteral("Гистерезис минимального напряжения, %"), firstBlock(11),
             QStringLiteral("1"), QStringLiteral("5"), QStringLiteral("20")}, // 11
            {QStringLiteral("Максимальная температура, °C"), secondBlock(0), QStringLiteral("1"),
             QStringLiteral("40"), QStringLiteral("100")}, // 12
            {QStringLiteral("Количество повторных пусков"), secondBlock(1), QStringLiteral("1"),
             QStringLiteral("0"), QStringLiteral("100")}, // 13
            {QStringLiteral("Задержка до пуска, с"), secondBlock(2), QStringLiteral("1"),
             QStringLiteral("1"), QStringLiteral("30")}, // 14
            {QStringLiteral("Время пуска, с"), secondBlock(3), QStringLiteral("1"),
             QStringLiteral("1"), QStringLiteral("300")}, // 15
            {QStringLiteral("Время до повторного пуска, с"), secondBlock(4), QStringLiteral("1"),
             QStringLiteral("1"), QStringLiteral("120")}, // 16
            {QStringLiteral("Задержка по минимальному току, с"), secondBlock(5),
             QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("250")}, // 17
            {QStringLiteral("Задержка по блокировке ротора, с"), secondBlock(6),
             QStringLiteral(".1"), QStringLiteral("5"), QStringLiteral("100")}, // 18
            {QStringLiteral("Задержка по асимметрии, с"), secondBlock(7), QStringLiteral("1"),
             QStringLiteral("1"), QStringLiteral("120")}, // 19
            {QStringLiteral("Задержка по мин./макс. напряжению, с"), secondBlock(8),
             QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("250")}, // 20
            {QStringLiteral("Время включения реле КЗ, с"), secondBlock(9), QStringLiteral("1"),
             QStringLiteral("1"), QStringLiteral(" 30")}, // 21
            {QStringLiteral("Время выключения реле КЗ, с"), secondBlock(10), QStringLiteral("1"),
             QStringLiteral("1"), QStringLiteral("30")}, // 22
            {QStringLiteral("Функция короткозамкнутого ротора"), R::switchWords, QString(),
             QString(), QString()}, // 23
            {QStringLiteral("Контроль минимального тока"), R::switchWords, QString(), QString(),
             QString()}, // 24
            {QStringLiteral("Контроль сопротивления изоляции"), R::switchWords, QString(),
             QString(), QString()}, // 25
            {QStringLiteral("Контроль залипания контактов"), R::switchWords, QString(), QString(),
             QString()}, // 26
            {QStringLiteral("Контроль тока утечки"), R::switchWords, QString(), QString(),
             QString()}, // 27
            {QStringLiteral("Функция импульсного режима реле перегрузки КЗ"), R::switchWords,
             QString(), QString(), QString()}, // 28
            {QStringLiteral("2-ая ступень электродвигателя"), R::switchWords + 1, QString(),
             QString(), QString()}, // 29
            {QStringLiteral("Контроль чередования фаз"), R::switchWords + 1, QString(), QString(),
             QString()}, // 30
            {QStringLiteral("Алгоритм накачки/выкачки резервуара"), R::switchWords + 1, QString(),
             QString(), QString()}, // 31
            {QStringLiteral("Обнуление моторесурса"), R::motorHours, QString(), QString(),
             QString()}, // 32
            {QStringLiteral("Пароль"), R::password, QString(), QString(), QString()}, // 33
    }};
}

std::array<EventName, 35> makeEventNames()
{
    return {{
            {QStringLiteral("001"), QStringLiteral("Включениие питания реле")},
            {QStringLiteral("002"), QStringLiteral("Выключение питания реле")},
            {QStringLiteral("003"), QStringLiteral("Местное изменение уставок")},
            {QStringLiteral("004"), QStringLiteral("Резерв")},
            {QStringLiteral("005"), QStringLiteral("Сброс аварийных режимов")},
            {QStringLiteral("006"), QStringLiteral("Готовность реле")},
            {QStringLiteral("007"), QStringLiteral("Пуск двигателя")},
            {QStringLiteral("008"), QStringLiteral("Стоп двигателя")},
            {QStringLiteral("009"), QStringLiteral("Повторная готовность реле")},
            {QStringLiteral("010"), QStringLiteral("Разрешение по входу \"ПУСК\"")},
            {QStringLiteral("011"), QStringLiteral("Запрет на вход \"ПУСК\"")},
            {QStringLiteral("012"), QStringLiteral("Включение второй ступени")},
            {QStringLiteral("013"), QStringLiteral("Выключение второй ступени")},
            {QStringLiteral("014"), QStringLiteral("Включение готовности по времени")},
            {QStringLiteral("015"), QStringLiteral("Выключение готовности по времени")},
            {QStringLiteral("016"),
             QStringLiteral("Запись в журнал событий раз в сутки значения моторесурса")},
            {QStringLiteral("030"), QStringLiteral("Превышения напряжения")},
            {QStringLiteral("031"), QStringLiteral("Понижение напряжения")},
            {QStringLiteral("032"), QStringLiteral("Неправильное чередование фаз")},
            {QStringLiteral("033"), QStringLiteral("Перегрузка по току фаза А")},
            {QStringLiteral("034"), QStringLiteral("Перегрузка по току фаза В")},
            {QStringLiteral("035"), QStringLiteral("Перегрузка по току фаза С")},
            {QStringLiteral("036"), QStringLiteral("Короткозамкнутый ротор")},
            {QStringLiteral("037"), QStringLiteral("Минимальный ток")},
            {QStringLiteral("038"), QStringLiteral("Обрыв фазы напряжения")},
            {QStringLiteral("039"), QStringLiteral("Обрыв фазы тока")},
            {QStringLiteral("040"), QStringLiteral("Асимметрия тока")},
            {QStringLiteral("041"), QStringLiteral("Утечка тока")},
            {QStringLiteral("042"), QStringLiteral("Залипание")},
            {QStringLiteral("043"), QStringLiteral("Нарушение изоляции")},
            {QStringLiteral("044"), QStringLiteral("Превышение температуры")},
            {QStringLiteral("045"), QStringLiteral("Ограничение количества пусков")},
            {QStringLiteral("060"), QStringLiteral("Сработал датчик \"Аварийный уровень\"")},
            {QStringLiteral("061"), QStringLiteral("Сработал датчик \"Затопление\"")},
            {QStringLiteral("062"), QStringLiteral("Сработал датчик \"Сухой ход\"")},
    }};
}

} // namespace

QString ConfigRow::menuNumber(int row)
{
    return QStringLiteral("%1").arg(row + 1, 2, 10, QLatin1Char('0'));
}

std::optional<SwitchBit> switchBitOf(int row)
{
    for (const SwitchBit &bit : switchBits)
        if (bit.row == row)
            return bit;
    return std::nullopt;
}

ParameterCatalogue::ParameterCatalogue() : m_records(defaults()) { }

const std::array<ParameterRecord, ConfigRow::count> &ParameterCatalogue::defaults()
{
    static const std::array<ParameterRecord, ConfigRow::count> records = makeRecords();
    return records;
}

const ParameterRecord &ParameterCatalogue::record(int row) const
{
    Q_ASSERT(row >= 0 && row < ConfigRow::count);
    return m_records[size_t(std::clamp(row, 0, ConfigRow::count - 1))];
}

quint16 ParameterCatalogue::registerAddress(int row) const
{
    return record(row).reg;
}

QString registerColumnText(quint16 reg)
{
    return QStringLiteral("%1").arg(reg, 4, 16, QLatin1Char('0')).toUpper();
}

void ParameterCatalogue::applyRatio(int ratio)
{
    if (const auto step = resolutionForRatio(ratio)) {
        m_records[ConfigRow::nominalCurrent].step = *step;
        m_records[ConfigRow::secondStageCurrent].step = *step;
    }
}

std::optional<RawLimits> ParameterCatalogue::storedLimits(int row) const
{
    const ParameterRecord &r = record(row);
    bool minimumOk = false;
    bool maximumOk = false;
    // Row 21 stores " 30" with a leading blank; it reads as 30.
    const uint minimum = r.min.trimmed().toUInt(&minimumOk);
    const uint maximum = r.max.trimmed().toUInt(&maximumOk);
    if (!minimumOk || !maximumOk)
        return std::nullopt;
    return RawLimits{quint16(minimum), quint16(maximum)};
}

std::optional<QString> resolutionForRatio(int ratio)
{
    if (ratio >= 1 && ratio <= 2)
        return QStringLiteral(".01");
    if (ratio >= 3 && ratio <= 20)
        return QStringLiteral(".1");
    if (ratio >= 21 && ratio <= 200)
        return QStringLiteral("1");
    return std::nullopt;
}

RawLimits ratioLimits(int ratio, const QString &step)
{
    const qint64 factor = step == QStringLiteral(".01") ? 100
            : step == QStringLiteral(".1")              ? 10
                                                        : 1;
    const qint64 k = std::max(0, ratio);
    const qint64 minimum = k * factor;
    qint64 maximum = 5 * k * factor;
    if (maximum == 1000)
        maximum = 999; // the relay takes at most 999 there
    return RawLimits{quint16(std::min<qint64>(minimum, 65535)),
                     quint16(std::min<qint64>(maximum, 65535))};
}

const std::array<EventName, 35> &eventNameTable()
{
    static const std::array<EventName, 35> table = makeEventNames();
    return table;
}

const EventName *findEvent(int code)
{
    for (const EventName &entry : eventNameTable())
        if (entry.code.toInt() == code)
            return &entry;
    return nullptr;
}

} // namespace miv
