#include "device/LiveQuantities.h"

#include "core/LiveValues.h"
#include "core/RegisterMap.h"
#include "device/LampKind.h"
#include "device/LiveDisplay.h"
#include "link/ReplyString.h"

namespace miv {

namespace {

namespace R = RelayRegister;

// The lamps of the page "Управление реле" repeat the output lamps 3 to 5.
constexpr int lastLivePageLamp = 25;

int lowByte(quint16 word)
{
    return word & 0xFF;
}

// Tenths to a whole number, a half to the even neighbour.
int roundTenthsToEven(quint16 tenths)
{
    int whole = tenths / 10;
    const int rest = tenths % 10;
    if (rest > 5 || (rest == 5 && whole % 2 == 1))
        ++whole;
    return whole;
}

} // namespace

TemperatureWord decodeTemperature(quint16 word)
{
    const quint16 high = word >> 8;
    return {replyBit(high, 1) != 0, replyBit(high, 0) != 0, lowByte(word)};
}

LiveQuantities liveQuantities(const LiveValues &live)
{
    auto reg = [&live](int r) { return live.value(quint16(r)); };
    LiveQuantities q;
    q.running = replyBit(reg(R::outputRelays), 0);
    for (int phase = 0; phase < 3; ++phase) {
        q.currentTenths[std::size_t(phase)] = reg(R::phaseCurrent + phase);
        q.voltages[std::size_t(phase)] = reg(R::phaseVoltage + phase);
    }
    if (const TemperatureWord t = decodeTemperature(reg(R::motorTemperature)); t.sensorOn)
        q.temperature = t.plus ? t.magnitude : -t.magnitude;
    q.frequencyHz = roundTenthsToEven(reg(R::frequency));
    if (live.motorCarriesCurrent()) {
        q.cosPhiHundredths = lowByte(reg(R::cosPhi));
        q.activePowerTenths = reg(R::activePower);
        q.reactivePowerTenths = reg(R::reactivePower);
        q.apparentPowerTenths = reg(R::apparentPower);
    }
    q.asymmetryPercent = lowByte(reg(R::asymmetry));
    q.leakagePercent = reg(R::leakageCurrent);
    q.insulationTenths = lowByte(reg(R::insulation));
    q.motorHours = qint32(quint32(reg(R::motorHours)) << 16 | reg(R::motorHours + 1));
    q.motorMinutes = lowByte(reg(R::motorMinutes));
    return q;
}

QStringList litAlarmCaptions(const LiveDisplay &display)
{
    QStringList captions;
    for (int lamp = 1; lamp <= lastLivePageLamp; ++lamp) {
        const std::optional<int> &value = display.lamps[std::size_t(lamp - 1)];
        if (lampKindOf(lamp) == LampKind::Red && value && *value == 1)
            captions << lampCaption(lamp);
    }
    return captions;
}

} // namespace miv
