#pragma once

#include <array>
#include <optional>
#include <QtGlobal>

namespace miv {

struct LiveValues;

// The live values as numbers, at the resolution the live page shows them:
// what the page's texts are made of, and what telemetry hands on. Tenths
// stay whole numbers, so that nothing is rounded twice.
struct LiveQuantities
{
    bool running = false; // register 40 bit 0, the output "Работа"
    std::array<int, 3> currentTenths{}; // phases A, B, C, tenths of A
    std::array<int, 3> voltages{}; // V
    std::optional<int> temperature; // °C; none while the sensor is switched off
    int frequencyHz = 0; // tenths rounded to whole Hz, a half to the even neighbour
    // Powers and cos φ mean nothing below 0.2 A in every phase: 0 then, as the page shows.
    int cosPhiHundredths = 0;
    int activePowerTenths = 0; // tenths of kW
    int reactivePowerTenths = 0; // tenths of kvar
    int apparentPowerTenths = 0; // tenths of kVA
    int asymmetryPercent = 0;
    int leakagePercent = 0;
    int insulationTenths = 0; // tenths of MΩ
    qint32 motorHours = 0; // registers 112 (high) and 113 (low), signed
    int motorMinutes = 0;
};
LiveQuantities liveQuantities(const LiveValues &live);

} // namespace miv
