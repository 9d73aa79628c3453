#pragma once

#include <array>
#include <optional>
#include <utility>
#include <QChar>
#include <QList>
#include <QString>
#include <QStringList>

namespace miv {

struct LiveValues;
struct SessionFlags;

// What one display of the live values puts on the screen: the texts of the
// 20 value labels, the lamps, the command buttons, the heading of the
// start-limit column and the blink of lamp 7. Worked out without widgets, so
// that the window and mivctl show the same.
struct LiveDisplay
{
    static constexpr int labelCount = 20; // Label14..Label31, Label59, Label61
    static constexpr int lampCount = 28;

    enum class Blink { Stop, Start };

    std::array<QString, labelCount> labels;
    // Lamp n at index n − 1: the value for `led`; nullopt leaves the lamp as
    // it is (lamp 7 while it blinks, the sensor lamps of a relay not of type 6).
    std::array<std::optional<int>, lampCount> lamps;
    bool startLimitColumn = false; // Label63 and the values at start limitation
    bool workEnabled = true; // BitBtn1 "Работа"
    bool stopEnabled = true; // BitBtn2 "Стоп"
    std::array<bool, 6> outputButtonsEnabled{true, true, true,
                                             true, true, true}; // Button1..Button6
    Blink blink = Blink::Stop; // the blink timer of lamp 7
};

// The value label slots by their label's number.
namespace LiveLabel {
constexpr int slotOf(int labelNumber)
{
    return labelNumber == 59 ? 18 : labelNumber == 61 ? 19 : labelNumber - 14;
}
} // namespace LiveLabel

// show_values: turns the live values into the display, in the window's order,
// and moves the states on: LoadLampState from the currents and the relay
// states, StartLimitView to register 39 bit 14 (so that the two-column display
// follows that bit one display late), PrevRelayState to RelayState.
// The sensor lamps 18 to 22 and 25 are set only for a relay of type 6.
LiveDisplay showValues(LiveValues &live, SessionFlags &flags, quint16 typeCode,
                       QChar decimalSeparator);

// RelayState from the output relays' word (register 40).
int relayStateOf(quint16 outputRelays);

// The relay's state in words, as its lamps and buttons name it: 3 "Перегрузка",
// 2 "Авария", 1 "Работа", 0 "Стоп".
QString relayStateText(int relayState);

// The three words of registers 39 to 41 that light the lamps.
struct StatusWords
{
    quint16 protectionFlags = 0; // register 39
    quint16 outputRelays = 0; // register 40
    quint16 inputs = 0; // register 41
};

// Whether a lamp that shows one bit of the status words is lit. nullopt for
// lamps 6 and 7 (worked out from several states) and for the sensor lamps
// and "Таймер" of a relay not of type 6, which has none of them.
std::optional<bool> lampLitByBit(int lamp, const StatusWords &words, quint16 typeCode);

// The captions of the alarm lamps that are lit (the protections, the level
// sensors of a type-6 relay and the phase loss), in lamp order.
QStringList litAlarmCaptions(const StatusWords &words, quint16 typeCode);
// Every alarm lamp a relay of the type can light, in lamp order: its number
// and its caption as litAlarmCaptions names it.
QList<std::pair<int, QString>> alarmLamps(quint16 typeCode);

// One tick of lamp 7's blink: the lamp's value for this tick (4 dark yellow
// when the tag was 1, 1 red when it was 0); the tag flips.
int blinkStep(int &tag);

// Left-pad with spaces or zeros to `width` characters; a longer text stays.
QString padSpace(int width, const QString &text);
QString padZero(int width, const QString &text);

// A temperature word (registers 20 and 28): the magnitude in whole °C in the
// low byte; in the high byte bit 0 the sign (1 plus) and bit 1 whether the
// sensor is in use.
struct TemperatureWord
{
    bool inUse = false;
    bool plus = true;
    int magnitude = 0;
    int celsius() const { return plus ? magnitude : -magnitude; }
};
TemperatureWord decodeTemperature(quint16 word);

// The text of a temperature word.
QString temperatureText(quint16 word);

// A phase current in tenths of A as the value labels write it: the number
// with one decimal padded with zeros to five characters ("012,3"), and the
// one-column label with its unit ("012,3 А").
QString phaseCurrentText(quint16 tenths, QChar decimalSeparator);
QString phaseCurrentLabel(quint16 tenths, QChar decimalSeparator);

// Row captions of the value labels (slot order) and of the lamps (1..28),
// as the window shows them beside the values; for listing them in a shell.
QString liveLabelCaption(int slot);
QString lampCaption(int lamp);

} // namespace miv
