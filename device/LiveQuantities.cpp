#include "device/LiveQuantities.h"

#include "core/LiveValues.h"
#include "core/RegisterMap.h"
#include "core/RelayWords.h"
#include "device/LiveDisplay.h"
#include "link/ReplyString.h"

namespace miv {

namespace {

namespace R = RelayRegister;

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

LiveQuantities liveQuantities(const LiveValues &live)
{
    auto reg = [&live](int r) { return live.value(quint16(r)); };
    LiveQuantities q;
    q.running = replyBit(reg(R::outputRelays), 0);
    for (int phase = 0; phase < 3; ++phase) {
        q.currentTenths[std::size_t(phase)] = reg(R::phaseCurrent + phase);
        q.voltages[std::size_t(phase)] = reg(R::phaseVoltage + phase);
    }
    if (const TemperatureWord t = decodeTemperature(reg(R::motorTemperature)); t.inUse)
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
    const MotorResource resource =
            motorResource(reg(R::motorHours), reg(R::motorHours + 1), reg(R::motorMinutes));
    q.motorHours = qint32(resource.hours);
    q.motorMinutes = resource.minutes;
    return q;
}

} // namespace miv
