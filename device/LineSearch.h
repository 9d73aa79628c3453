#pragma once

#include "device/PortSetup.h"
#include "link/PortSettings.h"

#include <functional>
#include <optional>
#include <QList>
#include <QString>

namespace miv {

class Operator;
class PortLink;
struct RelaySession;

// "Поиск устройства": a relay whose interface word was changed and forgotten
// answers nothing at the port's settings. The search tries every line setting
// the interface word can hold, fastest first, and asks the given addresses
// with the status query and the scan wait at each, until a relay answers.

// What the search shows on its way, and how its caller stops it.
struct LineSearchHooks
{
    // Before each setting is tried: the setting, its number from 0 and how many there are.
    std::function<void(const PortSettings &settings, int step, int steps)> settingsTried;
    // Asked between two exchanges, after the operator's keepAlive: true ends
    // the search there (the operator cancelled it), so it stops within one
    // exchange.
    std::function<bool()> cancelRequested;
};

struct LineSearchResult
{
    std::optional<quint8> address; // the first relay that answered
    PortSettings settings; // the setting it answered at (when address is set)
    bool portLost = false; // the port failed and could not be opened again; the search stopped
    bool cancelled = false; // the caller stopped it before a relay answered
    QStringList refusedSettings; // settings the port would not take (skipped), as settingsText()
                                 // names them
    bool found() const { return address.has_value(); }
};

// The settings tried, in order: every speed the interface word can hold from
// the fastest (38400, 19200, 9600, 4800), at each every parity it can hold
// (none, even, odd), at each 1 then 2 stop bits; 8 data bits. Port name,
// flow control, scan wait and retries are those of `current`.
QList<PortSettings> lineSearchSettings(const PortSettings &current);

// "19200 бит/с, без паритета, 1 стоп-бит".
QString settingsText(const PortSettings &settings);

// The search on `link` (whose bus is the session's): opens it when closed,
// then for each setting puts it in force and asks `addresses` in turn with
// the status query and the scan wait; the first that answers, or the
// caller's cancel, ends it. The port gets back its settings from before in
// every case: taking the found ones is offerFoundSettings's. The operator's keepAlive runs before
// each address. A port that fails is reset through the session's reopenPort; when it cannot be
// opened again the search stops and the operator is told. The CurrentDevice is not touched.
LineSearchResult findRelayLine(RelaySession &session, Operator &op, PortLink &link,
                               const QList<quint8> &addresses, const LineSearchHooks &hooks = {});

// Tells the operator what was found and offers it for the port (a Yes/No
// question). Yes puts the settings in force on the link and stores them with
// `store` as the port setup does; true when they were taken and stored.
// Nothing found: the operator is told so, and nothing changes; a search
// cancelled is noted as such (no box: the operator asked for it).
bool offerFoundSettings(Operator &op, PortLink &link, const LineSearchResult &result,
                        const PortSettingsStore &store);

// The texts the operator is shown.
QString foundText(const LineSearchResult &result);
inline const QString nothingFoundText =
        QStringLiteral("Ни одно устройство не ответило ни при одной настройке линии");
inline const QString searchCancelledText =
        QStringLiteral("Поиск устройства прерван, настройки порта прежние");

} // namespace miv
