#include "device/LiveDisplay.h"

#include "core/CurrentDevice.h"
#include "core/LiveValues.h"
#include "core/RegisterMap.h"
#include "core/RelayWords.h"
#include "core/SessionFlags.h"
#include "device/LiveQuantities.h"
#include "link/ReplyString.h"

namespace miv {

namespace {

namespace R = RelayRegister;

QString fixed(double value, int decimals, QChar separator)
{
    QString text = QString::number(value, 'f', decimals);
    return text.replace(u'.', separator);
}

int nextLoadLampState(const LiveValues &live, bool currentFlows)
{
    if (!currentFlows)
        return 0;
    const int previous = live.previousRelayState;
    const int now = live.relayState;
    if (previous == 1 && now == 3)
        return 1;
    if (previous == 3 && now == 2)
        return 2;
    if (previous == 1 && now == 2)
        return 3;
    if (now == 1)
        return 3;
    return live.loadLampState;
}

// Lamp 6 "Работа": green while working, red on an alarm, dark yellow while
// only the start input is on, red otherwise.
int workLampValue(quint16 outputs, quint16 inputs)
{
    if (replyBit(outputs, 0))
        return 3;
    if (replyBit(outputs, 1))
        return 1;
    if (replyBit(inputs, 1))
        return 4;
    return 1;
}

struct BitLamp
{
    int lamp;
    quint16 reg;
    int bit;
};

constexpr BitLamp lampsLitBySetBit[] = {
        {1, R::inputs, 1},
        {2, R::inputs, 2},
        {3, R::outputRelays, 0},
        {4, R::outputRelays, 1},
        {5, R::outputRelays, 2},
        {26, R::outputRelays, 0},
        {27, R::outputRelays, 1},
        {28, R::outputRelays, 2},
        {8, R::protectionFlags, 14},
        {9, R::protectionFlags, 4},
        {10, R::protectionFlags, 9},
        {11, R::protectionFlags, 11},
        {12, R::protectionFlags, 6},
        {13, R::protectionFlags, 5},
        {14, R::protectionFlags, 12},
        {15, R::protectionFlags, 13},
        {16, R::protectionFlags, 15},
        {17, R::protectionFlags, 7},
        {23, R::protectionFlags, 8},
        {24, R::protectionFlags, 10},
};

// The level sensors and the timer of a type-6 relay: lit while the bit is clear.
constexpr BitLamp lampsLitByClearBit[] = {
        {18, R::inputs, 6}, {19, R::inputs, 5}, {20, R::inputs, 4},
        {21, R::inputs, 3}, {22, R::inputs, 0}, {25, R::inputs, 7},
};

} // namespace

int relayStateOf(quint16 outputRelays)
{
    if (replyBit(outputRelays, 2))
        return 3;
    if (replyBit(outputRelays, 1))
        return 2;
    if (replyBit(outputRelays, 0))
        return 1;
    return 0;
}

QString padSpace(int width, const QString &text)
{
    return text.size() >= width ? text : QString(width - text.size(), u' ') + text;
}

QString padZero(int width, const QString &text)
{
    return text.size() >= width ? text : QString(width - text.size(), u'0') + text;
}

TemperatureWord decodeTemperature(quint16 word)
{
    const quint16 high = quint16(highByte(word));
    return {replyBit(high, 1) != 0, replyBit(high, 0) != 0, lowByte(word)};
}

QString temperatureText(quint16 word)
{
    const TemperatureWord temperature = decodeTemperature(word);
    if (!temperature.inUse)
        return QStringLiteral("   откл.");
    const QString sign = temperature.plus ? QStringLiteral(" +") : QStringLiteral(" -");
    return padSpace(5, sign + QString::number(temperature.magnitude)) + QStringLiteral(" °C");
}

QString phaseCurrentText(quint16 tenths, QChar separator)
{
    return padZero(5, fixed(tenths / 10.0, 1, separator));
}

QString phaseCurrentLabel(quint16 tenths, QChar separator)
{
    return QStringLiteral("%1 А").arg(phaseCurrentText(tenths, separator));
}

QString relayStateText(int relayState)
{
    switch (relayState) {
    case 3:
        return QStringLiteral("Перегрузка");
    case 2:
        return QStringLiteral("Авария");
    case 1:
        return QStringLiteral("Работа");
    default:
        return QStringLiteral("Стоп");
    }
}

std::optional<bool> lampLitByBit(int lamp, const StatusWords &words, quint16 typeCode)
{
    auto word = [&words](quint16 reg) {
        return reg == R::protectionFlags ? words.protectionFlags
                : reg == R::outputRelays ? words.outputRelays
                                         : words.inputs;
    };
    for (const BitLamp &bitLamp : lampsLitBySetBit)
        if (bitLamp.lamp == lamp)
            return replyBit(word(bitLamp.reg), bitLamp.bit) != 0;
    if (!relayTypeHasTimer(typeCode))
        return std::nullopt;
    for (const BitLamp &bitLamp : lampsLitByClearBit)
        if (bitLamp.lamp == lamp)
            return replyBit(word(bitLamp.reg), bitLamp.bit) == 0;
    return std::nullopt;
}

int blinkStep(int &tag)
{
    const int value = tag == 1 ? 4 : 1;
    tag = tag == 1 ? 0 : 1;
    return value;
}

LiveDisplay showValues(LiveValues &live, SessionFlags &flags, quint16 typeCode, QChar separator)
{
    LiveDisplay display;
    auto label = [&display](int number) -> QString & {
        return display.labels[std::size_t(LiveLabel::slotOf(number))];
    };
    auto reg = [&live](int r) { return live.value(quint16(r)); };

    // 1. The rows with the values at start limitation before the current ones.
    const bool twoColumns = flags.startLimitView;
    display.startLimitColumn = twoColumns;
    auto currentText = [&](int r) { return phaseCurrentText(reg(r), separator); };
    auto voltageText = [&](int r) { return padSpace(5, QString::number(reg(r))); };
    auto energyText = [&](int r) { return padSpace(7, QString::number(lowByte(reg(r)))); };
    for (int phase = 0; phase < 3; ++phase) {
        const int now = R::phaseCurrent + phase;
        const int atLimit = R::startLimitCurrent + phase;
        label(14 + phase) = twoColumns
                ? QStringLiteral(" %1 А %2 А").arg(currentText(atLimit), currentText(now))
                : phaseCurrentLabel(reg(now), separator);
        const int voltage = R::phaseVoltage + phase;
        const int voltageAtLimit = R::startLimitVoltage + phase;
        label(17 + phase) = twoColumns
                ? QStringLiteral(" %1 В %2 В")
                          .arg(voltageText(voltageAtLimit), voltageText(voltage))
                : QStringLiteral("%1 В").arg(voltageText(voltage));
    }
    label(25) = twoColumns ? temperatureText(reg(R::startLimitTemperature))
                    + temperatureText(reg(R::motorTemperature))
                           : temperatureText(reg(R::motorTemperature));
    label(29) = twoColumns ? QStringLiteral("%1 %2").arg(energyText(R::startLimitEnergy),
                                                         energyText(R::thermalEnergy))
                           : energyText(R::thermalEnergy);

    // 2. Powers and cos φ (zero below 0.2 A in every phase), 3. the single values.
    const LiveQuantities q = liveQuantities(live);
    const bool currentFlows = live.motorCarriesCurrent();
    label(20) = QStringLiteral(" %1 кВт").arg(fixed(q.activePowerTenths / 10.0, 1, separator));
    label(21) = QStringLiteral(" %1 кВАр").arg(fixed(q.reactivePowerTenths / 10.0, 1, separator));
    label(22) = QStringLiteral(" %1 кВА").arg(fixed(q.apparentPowerTenths / 10.0, 1, separator));
    label(23) = QStringLiteral(" %1").arg(fixed(q.cosPhiHundredths / 100.0, 2, separator));
    label(24) = QStringLiteral(" %1 Гц").arg(q.frequencyHz);
    label(26) = QStringLiteral("  %1 %").arg(q.asymmetryPercent);
    label(27) = QStringLiteral("  %1 %").arg(q.leakagePercent);
    label(28) = QStringLiteral("  %1 МОм").arg(fixed(q.insulationTenths / 10.0, 1, separator));
    label(30) = QStringLiteral("  %1 ч.").arg(q.motorHours);
    label(31) = QStringLiteral("  %1 мин.").arg(q.motorMinutes);

    // 4. The relay's clock.
    auto two = [](int part) { return padZero(2, QString::number(part)); };
    const quint16 yearMonth = reg(R::clock), dayHour = reg(R::clock + 1),
                  minuteSecond = reg(R::clock + 2);
    label(59) =
            QStringLiteral("%1.%2.20%3")
                    .arg(two(highByte(dayHour)), two(lowByte(yearMonth)), two(highByte(yearMonth)));
    label(61) = QStringLiteral("%1:%2:%3")
                        .arg(two(lowByte(dayHour)), two(highByte(minuteSecond)),
                             two(lowByte(minuteSecond)));

    // 5. The command buttons offer what the outputs are not doing.
    const quint16 outputs = reg(R::outputRelays);
    display.workEnabled = !replyBit(outputs, 0);
    display.stopEnabled = replyBit(outputs, 0);
    for (int output = 0; output < 3; ++output) {
        display.outputButtonsEnabled[std::size_t(2 * output)] = !replyBit(outputs, output);
        display.outputButtonsEnabled[std::size_t(2 * output + 1)] = replyBit(outputs, output);
    }

    // 6 to 12. The lamps.
    auto lamp = [&display](int n) -> std::optional<int> & {
        return display.lamps[std::size_t(n - 1)];
    };
    const StatusWords words{reg(R::protectionFlags), outputs, reg(R::inputs)};
    for (int n = 1; n <= LiveDisplay::lampCount; ++n)
        if (const std::optional<bool> lit = lampLitByBit(n, words, typeCode))
            lamp(n) = *lit ? 1 : 0;
    lamp(6) = workLampValue(outputs, reg(R::inputs));
    live.loadLampState = nextLoadLampState(live, currentFlows);
    // Lamp 7 blinks exactly while its state is 1; any other state shows steady.
    switch (live.loadLampState) {
    case 0:
        lamp(7) = 4;
        break;
    case 2:
        lamp(7) = 1;
        break;
    case 3:
        lamp(7) = 3;
        break;
    default:
        break;
    }
    display.blink = live.loadLampState == 1 ? LiveDisplay::Blink::Start : LiveDisplay::Blink::Stop;

    // 13. What the next display starts from.
    flags.startLimitView = replyBit(reg(R::protectionFlags), 14);
    live.previousRelayState = live.relayState;
    return display;
}

QString liveLabelCaption(int slot)
{
    static const std::array<QString, LiveDisplay::labelCount> captions{
            QStringLiteral("Ток A"),
            QStringLiteral("Ток B"),
            QStringLiteral("Ток C"),
            QStringLiteral("Напряжение A"),
            QStringLiteral("Напряжение B"),
            QStringLiteral("Напряжение C"),
            QStringLiteral("Активная мощность"),
            QStringLiteral("Реактивная мощность"),
            QStringLiteral("Полная мощность"),
            QStringLiteral("cos ф двигателя"),
            QStringLiteral("Частота сети"),
            QStringLiteral("Температура двигателя"),
            QStringLiteral("Асимметрия токов фаз"),
            QStringLiteral("Ток утечки"),
            QStringLiteral("Сопротивление изоляции"),
            QStringLiteral("Эквив. тепловой энергии"),
            QStringLiteral("Моторесурс"),
            QStringLiteral("Моторесурс"),
            QStringLiteral("Дата"),
            QStringLiteral("Время"),
    };
    return slot >= 0 && slot < LiveDisplay::labelCount ? captions[std::size_t(slot)] : QString();
}

namespace {

// A lamp's caption on the page and the group box it stands in (none for "Таймер").
struct LampName
{
    QStringView group;
    QStringView caption;
};

constexpr std::array<LampName, LiveDisplay::lampCount> lampNames{{
        {u"Вход", u"Пуск"},
        {u"Вход", u"2-я ступень"},
        {u"Реле", u"Работа"},
        {u"Реле", u"Авария"},
        {u"Реле", u"Перегрузка"},
        {u"Индикация", u"Работа"},
        {u"Индикация", u"Нагрузка/Перегрузка"},
        {u"Индикация", u"Ограничение пусков"},
        {u"Индикация", u"Недогрузка"},
        {u"Индикация", u"Асимметрия"},
        {u"Индикация", u"Утечка"},
        {u"Индикация", u"U >"},
        {u"Индикация", u"U <"},
        {u"Индикация", u"Изоляция"},
        {u"Индикация", u"Залипание"},
        {u"Индикация", u"T °C >"},
        {u"Индикация", u"ABC"},
        {u"Датчики", u"Авар. уровень"},
        {u"Датчики", u"Верхн. уровень"},
        {u"Датчики", u"Нижн. уровень"},
        {u"Датчики", u"Сухой ход"},
        {u"Датчики", u"Затопление"},
        {u"Обрыв фазы", u"по напряжению"},
        {u"Обрыв фазы", u"по току"},
        {{}, u"Таймер"},
        {u"Управление реле", u"Работа"},
        {u"Управление реле", u"Авария"},
        {u"Управление реле", u"Перегрузка"},
}};

// The red lamps that tell a protection, a level sensor or a lost phase. The
// caption of a phase-loss lamp ("по току") needs its group to say what is wrong.
struct AlarmLamp
{
    int lamp;
    bool namedWithGroup;
};
constexpr AlarmLamp alarmLampTable[] = {
        {8, false},  {9, false},  {10, false}, {11, false}, {12, false}, {13, false},
        {14, false}, {15, false}, {16, false}, {17, false}, {18, false}, {19, false},
        {20, false}, {21, false}, {22, false}, {23, true},  {24, true},
};

} // namespace

QString lampCaption(int lamp)
{
    if (lamp < 1 || lamp > LiveDisplay::lampCount)
        return {};
    const LampName &name = lampNames[std::size_t(lamp - 1)];
    return name.group.isEmpty()
            ? name.caption.toString()
            : name.group.toString() + QStringLiteral(": ") + name.caption.toString();
}

namespace {

QString alarmCaption(const AlarmLamp &alarm)
{
    return alarm.namedWithGroup ? lampCaption(alarm.lamp)
                                : lampNames[std::size_t(alarm.lamp - 1)].caption.toString();
}

} // namespace

QStringList litAlarmCaptions(const StatusWords &words, quint16 typeCode)
{
    QStringList captions;
    for (const AlarmLamp &alarm : alarmLampTable)
        if (lampLitByBit(alarm.lamp, words, typeCode).value_or(false))
            captions << alarmCaption(alarm);
    return captions;
}

QList<std::pair<int, QString>> alarmLamps(quint16 typeCode)
{
    QList<std::pair<int, QString>> lamps;
    for (const AlarmLamp &alarm : alarmLampTable)
        if (lampLitByBit(alarm.lamp, StatusWords{}, typeCode).has_value())
            lamps.append({alarm.lamp, alarmCaption(alarm)});
    return lamps;
}

} // namespace miv
