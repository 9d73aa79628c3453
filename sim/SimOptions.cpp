#include "sim/SimOptions.h"

#include <QDateTime>
#include <QRegularExpression>

namespace miv::sim {

namespace {

constexpr int maxAddress = 247;
constexpr int maxDelayMs = 600000;

// Reads a whole decimal number within [minimum, maximum].
std::optional<int> number(const QString &text, int minimum, int maximum)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    if (!ok || value < minimum || value > maximum)
        return std::nullopt;
    return value;
}

// Splits "A:B" into its two halves.
std::optional<std::pair<QString, QString>> pairOf(const QString &text, QChar separator)
{
    const qsizetype at = text.indexOf(separator);
    if (at <= 0 || at == text.size() - 1)
        return std::nullopt;
    return std::pair{text.left(at), text.mid(at + 1)};
}

// The value given for a relay's address, or for address 0 (every relay).
template<typename Value>
std::optional<Value> forRelay(const std::map<quint8, Value> &values, quint8 address)
{
    if (auto it = values.find(address); it != values.end())
        return it->second;
    if (auto it = values.find(0); it != values.end())
        return it->second;
    return std::nullopt;
}

class Parser
{
public:
    explicit Parser(const QStringList &arguments) : m_arguments(arguments) { }

    std::optional<SimOptions> parse(QString *error)
    {
        bool relaysGiven = false;
        while (m_index < m_arguments.size() && m_error.isEmpty()) {
            QString name = m_arguments[m_index++];
            m_inlineValue.reset();
            if (const qsizetype eq = name.indexOf(u'=');
                name.startsWith(QLatin1String("--")) && eq > 0) {
                m_inlineValue = name.mid(eq + 1);
                name = name.left(eq);
            }
            if (name == QLatin1String("--help") || name == QLatin1String("-h"))
                m_options.help = true;
            else if (name == QLatin1String("--stop-with-parent"))
                m_options.stopWithParent = true;
            else if (name == QLatin1String("--relays"))
                relaysGiven = readRelays(value(name));
            else if (name == QLatin1String("--baud"))
                readBaud(value(name));
            else if (name == QLatin1String("--tcp"))
                readTcpPort(value(name));
            else if (name == QLatin1String("--link"))
                m_options.linkPath = value(name);
            else if (name == QLatin1String("--latency-ms"))
                readLatency(value(name));
            else if (name == QLatin1String("--log"))
                readLog(value(name));
            else if (name == QLatin1String("--journal"))
                readJournal(value(name));
            else if (name == QLatin1String("--journal-flaky"))
                readFlakySlots(value(name));
            else if (name == QLatin1String("--journal-rate"))
                readJournalRate(value(name));
            else if (name == QLatin1String("--seed"))
                readSeed(value(name));
            else if (name == QLatin1String("--fault-rate"))
                readFaultRate(value(name));
            else if (name == QLatin1String("--late-fault-ms"))
                readLateFault(value(name));
            else if (name == QLatin1String("--status-bits"))
                readBits(name, m_options.statusBits);
            else if (name == QLatin1String("--inputs"))
                readBits(name, m_options.inputs);
            else if (name == QLatin1String("--interface"))
                readBits(name, m_options.interfaceWords);
            else if (name == QLatin1String("--strict-line"))
                m_options.strictLine = true;
            else if (!readFault(name))
                fail(QStringLiteral("unknown option %1").arg(name));
        }
        if (m_error.isEmpty() && !m_options.help) {
            if (!relaysGiven)
                readRelays(QStringLiteral("1:4,6:6,17:4"));
            checkFaultAddresses();
        }
        if (!m_error.isEmpty()) {
            if (error)
                *error = m_error;
            return std::nullopt;
        }
        return m_options;
    }

private:
    void fail(const QString &message)
    {
        if (m_error.isEmpty())
            m_error = message;
    }

    QString value(const QString &name)
    {
        if (m_inlineValue)
            return *m_inlineValue;
        if (m_index >= m_arguments.size()) {
            fail(QStringLiteral("%1 needs a value").arg(name));
            return {};
        }
        return m_arguments[m_index++];
    }

    bool readRelays(const QString &text)
    {
        m_options.relays.clear();
        for (const QString &item : text.split(u',')) {
            const auto parts = pairOf(item, u':');
            const auto address = parts ? number(parts->first, 1, maxAddress) : std::nullopt;
            const auto type = parts ? number(parts->second, 0, 9) : std::nullopt;
            if (!address || !type) {
                fail(QStringLiteral(
                             "--relays: \"%1\" is not ADDRESS:TYPE (address 1..247, type digit 0..9)")
                             .arg(item));
                return false;
            }
            for (const SimOptions::Relay &relay : std::as_const(m_options.relays))
                if (relay.address == *address) {
                    fail(QStringLiteral("--relays: address %1 appears twice").arg(*address));
                    return false;
                }
            m_options.relays.append({quint8(*address), *type});
        }
        return true;
    }

    void readTcpPort(const QString &text)
    {
        if (const auto port = number(text, 0, 65535))
            m_options.tcpPort = quint16(*port);
        else
            fail(QStringLiteral("--tcp: \"%1\" is not a TCP port 0..65535").arg(text));
    }

    void readBaud(const QString &text)
    {
        if (const auto baud = number(text, 50, 4000000))
            m_options.baudRate = *baud;
        else
            fail(QStringLiteral("--baud: \"%1\" is not a speed in bit/s").arg(text));
    }

    void readLatency(const QString &text)
    {
        const auto range = pairOf(text, u'-');
        const auto minimum = number(range ? range->first : text, 0, maxDelayMs);
        const auto maximum = range ? number(range->second, 0, maxDelayMs) : minimum;
        if (!minimum || !maximum || *maximum < *minimum) {
            fail(QStringLiteral("--latency-ms: \"%1\" is not MS or MIN-MAX").arg(text));
            return;
        }
        m_options.latencyMinMs = *minimum;
        m_options.latencyMaxMs = *maximum;
    }

    void readLog(const QString &text)
    {
        if (text.isEmpty())
            fail(QStringLiteral("--log needs a file name"));
        m_options.logPath = text;
    }

    void readJournal(const QString &text)
    {
        if (const auto length = number(text, 0, RelayModel::journalSlots))
            m_options.journalLength = *length;
        else
            fail(QStringLiteral("--journal: \"%1\" is not a number of entries 0..%2")
                         .arg(text)
                         .arg(RelayModel::journalSlots));
    }

    void readFlakySlots(const QString &text)
    {
        for (const QString &item : text.split(u',')) {
            if (const auto slot = number(item, 0, RelayModel::journalSlots - 1))
                m_options.flakyJournalSlots.append(*slot);
            else
                fail(QStringLiteral("--journal-flaky: \"%1\" is not a slot 0..%2")
                             .arg(item)
                             .arg(RelayModel::journalSlots - 1));
        }
    }

    // [ADDR:]N, N new events a minute; no address: every relay.
    void readJournalRate(const QString &text)
    {
        const auto parts = pairOf(text, u':');
        const auto address = parts ? faultAddress(QStringLiteral("--journal-rate"), parts->first)
                                   : std::optional<quint8>(0);
        if (!address)
            return;
        if (const auto rate = number(parts ? parts->second : text, 1, JournalRate::maxPerMinute))
            m_options.journalRates[*address] = *rate;
        else
            fail(QStringLiteral("--journal-rate: \"%1\" is not [ADDR:]N, N events a minute 1..%2")
                         .arg(text)
                         .arg(JournalRate::maxPerMinute));
    }

    void readSeed(const QString &text)
    {
        bool ok = false;
        const uint seed = text.trimmed().toUInt(&ok, 10);
        if (ok)
            m_options.seed = seed;
        else
            fail(QStringLiteral("--seed: \"%1\" is not a number 0..4294967295").arg(text));
    }

    // PERCENT[:KINDS], KINDS a comma list of fault kinds.
    void readFaultRate(const QString &text)
    {
        const qsizetype colon = text.indexOf(u':');
        const QString percentText = colon < 0 ? text : text.left(colon);
        static const QRegularExpression decimal(QStringLiteral("^\\d{1,3}(\\.\\d{1,3})?$"));
        const double percent = percentText.toDouble();
        if (!decimal.match(percentText).hasMatch() || percent > 100) {
            fail(QStringLiteral("--fault-rate: \"%1\" is not a percentage 0..100")
                         .arg(percentText));
            return;
        }
        unsigned kinds = colon < 0 ? unsigned(RelayLine::AllFaultKinds) : 0u;
        if (colon >= 0) {
            for (const QString &kind : text.mid(colon + 1).split(u',')) {
                const auto *const names = std::begin(RelayLine::faultKindNames);
                const auto at = std::find_if(
                        names, std::end(RelayLine::faultKindNames),
                        [&kind](const char *known) { return kind == QLatin1String(known); });
                if (at == std::end(RelayLine::faultKindNames)) {
                    fail(QStringLiteral(
                                 "--fault-rate: \"%1\" is none of silent, bad-crc, garbage, late, truncate, "
                                 "wrong-address")
                                 .arg(kind));
                    return;
                }
                kinds |= 1u << (at - names);
            }
        }
        m_options.faultRatePercent = percent;
        m_options.faultKinds = kinds;
    }

    void readLateFault(const QString &text)
    {
        if (const auto ms = number(text, 1, maxDelayMs))
            m_options.lateFaultMs = *ms;
        else
            fail(QStringLiteral("--late-fault-ms: \"%1\" is not a delay in ms").arg(text));
    }

    // ADDRESS:HEX register words (--status-bits, --inputs).
    void readBits(const QString &name, std::map<quint8, quint16> &words)
    {
        const auto item = addressAndValue(name, QStringLiteral("ADDRESS:HEX"));
        if (!item)
            return;
        static const QRegularExpression hex(QStringLiteral("^(0[xX])?[0-9A-Fa-f]{1,4}$"));
        if (hex.match(item->second).hasMatch())
            words[item->first] = quint16(item->second.toUInt(nullptr, 16));
        else
            fail(QStringLiteral("%1: \"%2\" is not a register word in hex (0..FFFF)")
                         .arg(name, item->second));
    }

    std::optional<quint8> faultAddress(const QString &name, const QString &text)
    {
        const auto address = number(text, 0, maxAddress);
        if (!address)
            fail(QStringLiteral("%1: \"%2\" is not an address 0..247").arg(name, text));
        return address ? std::optional<quint8>(quint8(*address)) : std::nullopt;
    }

    // ADDRESS:VALUE options; returns the address and the value text.
    std::optional<std::pair<quint8, QString>> addressAndValue(const QString &name,
                                                              const QString &form)
    {
        const QString text = value(name);
        const auto parts = pairOf(text, u':');
        if (!parts) {
            fail(QStringLiteral("%1: \"%2\" is not %3").arg(name, text, form));
            return std::nullopt;
        }
        const auto address = faultAddress(name, parts->first);
        if (!address)
            return std::nullopt;
        return std::pair{*address, parts->second};
    }

    // The fault options; false when `name` is none of them.
    bool readFault(const QString &name)
    {
        if (name == QLatin1String("--silent") || name == QLatin1String("--bad-crc")
            || name == QLatin1String("--wrong-address") || name == QLatin1String("--truncate")) {
            if (const auto address = faultAddress(name, value(name))) {
                RelayLine::Faults &faults = m_options.faults[*address];
                if (name == QLatin1String("--silent"))
                    faults.silent = true;
                else if (name == QLatin1String("--bad-crc"))
                    faults.badCrc = true;
                else if (name == QLatin1String("--wrong-address"))
                    faults.wrongAddress = true;
                else
                    faults.truncate = true;
            }
            return true;
        }
        if (name == QLatin1String("--late-ms")) {
            if (const auto item = addressAndValue(name, QStringLiteral("ADDRESS:MS"))) {
                if (const auto ms = number(item->second, 0, maxDelayMs))
                    m_options.faults[item->first].lateMs = *ms;
                else
                    fail(QStringLiteral("--late-ms: \"%1\" is not a delay in ms")
                                 .arg(item->second));
            }
            return true;
        }
        if (name == QLatin1String("--answer-requests")) {
            if (const auto item = addressAndValue(name, QStringLiteral("ADDRESS:N"))) {
                if (const auto count = number(item->second, 0, 1000000000))
                    m_options.faults[item->first].answerRequests = *count;
                else
                    fail(QStringLiteral("--answer-requests: \"%1\" is not a count")
                                 .arg(item->second));
            }
            return true;
        }
        if (name == QLatin1String("--ignore-requests")) {
            if (const auto item = addressAndValue(name, QStringLiteral("ADDRESS:N"))) {
                if (const auto count = number(item->second, 0, 1000000000))
                    m_options.faults[item->first].ignoreRequests = *count;
                else
                    fail(QStringLiteral("--ignore-requests: \"%1\" is not a count")
                                 .arg(item->second));
            }
            return true;
        }
        if (name == QLatin1String("--duplicate")) {
            readDuplicate(value(name));
            return true;
        }
        if (name == QLatin1String("--garbage")) {
            if (const auto item = addressAndValue(name, QStringLiteral("ADDRESS:HEX"))) {
                static const QRegularExpression hex(QStringLiteral("^([0-9A-Fa-f]{2}){1,256}$"));
                if (hex.match(item->second).hasMatch())
                    m_options.faults[item->first].garbage =
                            QByteArray::fromHex(item->second.toLatin1());
                else
                    fail(QStringLiteral("--garbage: \"%1\" is not 1 to 256 bytes in hex")
                                 .arg(item->second));
            }
            return true;
        }
        return false;
    }

    // ADDR[:MS]: a second relay at a relay's address, MS later (default 0).
    void readDuplicate(const QString &text)
    {
        const auto parts = pairOf(text, u':');
        const auto address = number(parts ? parts->first : text, 1, maxAddress);
        const auto laterMs = parts ? number(parts->second, 0, maxDelayMs) : std::optional(0);
        if (!address || !laterMs) {
            fail(QStringLiteral("--duplicate: \"%1\" is not ADDRESS or ADDRESS:MS (address 1..247)")
                         .arg(text));
            return;
        }
        m_options.duplicates[quint8(*address)] = *laterMs;
    }

    void checkFaultAddresses()
    {
        QList<quint8> asked;
        for (const auto &entry : m_options.duplicates)
            asked.append(entry.first);
        for (const auto &entry : m_options.faults)
            asked.append(entry.first);
        for (const auto &entry : m_options.statusBits)
            asked.append(entry.first);
        for (const auto &entry : m_options.inputs)
            asked.append(entry.first);
        for (const auto &entry : m_options.interfaceWords)
            asked.append(entry.first);
        for (const auto &entry : m_options.journalRates)
            asked.append(entry.first);
        for (const quint8 address : std::as_const(asked)) {
            if (address == 0)
                continue;
            const bool onLine = std::any_of(
                    m_options.relays.cbegin(), m_options.relays.cend(),
                    [a = address](const SimOptions::Relay &relay) { return relay.address == a; });
            if (!onLine)
                fail(QStringLiteral(
                             "a fault or status is asked for address %1, which has no relay on the line")
                             .arg(address));
        }
    }

    const QStringList &m_arguments;
    qsizetype m_index = 0;
    std::optional<QString> m_inlineValue;
    SimOptions m_options;
    QString m_error;
};

} // namespace

void SimOptions::applyTo(RelayLine &line) const
{
    line.setSeed(seed);
    const qint64 startMs = QDateTime::currentMSecsSinceEpoch();
    for (const Relay &relay : relays) {
        RelayModel &model = line.addRelay(relay.address, relay.typeCode);
        if (journalLength)
            model.setJournalLength(*journalLength);
        for (int slot : flakyJournalSlots)
            model.setFlakyJournalSlot(slot);
        if (const auto bits = forRelay(statusBits, relay.address))
            model.setStatusBits(*bits);
        if (const auto bits = forRelay(inputs, relay.address))
            model.setInputs(*bits);
        if (const auto word = forRelay(interfaceWords, relay.address))
            model.setRegister(RelayModel::interfaceWordRegister, *word);
        if (const auto rate = forRelay(journalRates, relay.address))
            model.setJournalRate(*rate, startMs);
    }
    line.setStrictLine(strictLine);
    line.setLatencyMs(latencyMinMs, latencyMaxMs);
    line.setFaultRate(faultRatePercent, faultKinds, lateFaultMs);
    for (const auto &[address, relayFaults] : faults)
        line.setFaults(address, relayFaults);
    // Each twin is a copy of its relay as set up above.
    for (const auto &[address, laterMs] : duplicates)
        line.addDuplicate(address, laterMs);
    line.setCharacterUs(baudRate > 0 ? 1e6 * bitsPerCharacter / baudRate : 0);
}

std::optional<SimOptions> parseSimOptions(const QStringList &arguments, QString *error)
{
    return Parser(arguments).parse(error);
}

QString simUsage()
{
    return QStringLiteral(
            "Usage: mivsim [--relays ADDR:TYPE,...] [--baud N] [--latency-ms MS|MIN-MAX]\n"
            "              [--log FILE] [--journal N] [--journal-flaky N,...]\n"
            "              [--journal-rate [ADDR:]N] [--seed N]\n"
            "              [--status-bits ADDR:HEX] [--inputs ADDR:HEX] [fault options]\n"
            "              [--tcp PORT] [--interface ADDR:HEX] [--strict-line] [--stop-with-parent]\n"
            "              [--link PATH]\n"
            "\n"
            "Serves a simulated line of relays on a pseudo-terminal. The first line on\n"
            "standard output is \"PORT <device path>\": open that path as the serial port.\n"
            "With --tcp the same line is also served over TCP on 127.0.0.1, as a\n"
            "serial-to-Ethernet gateway passes the frames; the second line is then\n"
            "\"TCP <port>\".\n"
            "Runs until SIGINT or SIGTERM.\n"
            "\n"
            "  --relays ADDR:TYPE,...  relays on the line: bus address 1..247 and type code\n"
            "                          (a digit; 6 has level sensors and a timer)\n"
            "                          (default 1:4,6:6,17:4)\n"
            "  --baud N                pace replies at N bit/s, 10 bits per character (8N1);\n"
            "                          a request is taken only after its own time on the wire\n"
            "                          (default: no pacing)\n"
            "  --latency-ms MS|MIN-MAX each relay's turnaround before it answers (default 0)\n"
            "  --log FILE              one JSON line per request: t (ms since start), address,\n"
            "                          function, request and reply (hex, reply null when none),\n"
            "                          fault (null when none)\n"
            "  --journal N             entries in every relay's journal, 0..100 (default 37);\n"
            "                          the slot after the last one reads code 0\n"
            "  --journal-flaky N,...   these journal slots answer code 0 once, then their entry\n"
            "  --journal-rate [ADDR:]N N new journal events a minute (1..6000) on every relay,\n"
            "                          or on relay ADDR, as the relay writes them: into its\n"
            "                          ring, dated on its clock when each came\n"
            "  --seed N                seed of the moving values, the journals and the random\n"
            "                          faults (default 0)\n"
            "  --status-bits ADDR:HEX  register 39 (protection flags; bit 14 start limitation)\n"
            "  --inputs ADDR:HEX       register 41 (inputs and level sensors)\n"
            "  --tcp PORT              also listen on 127.0.0.1:PORT (0: a free port) for RTU\n"
            "                          frames over TCP, paced as on the pseudo-terminal\n"
            "  --link PATH             also reach the line as PATH, a symbolic link to the\n"
            "                          pseudo-terminal (a stable name, as /dev/serial/by-id\n"
            "                          gives an adapter: a new simulator takes the link\n"
            "                          over); removed when the simulator stops\n"
            "  --interface ADDR:HEX    register 65, the relay's own line settings (bits 1-4:\n"
            "                          4800, 9600, 19200, 38400 bit/s; 6-8: no, even, odd\n"
            "                          parity; 13-14: 1 or 2 stop bits) (default 2844: 9600 8N1)\n"
            "  --strict-line           a relay answers only when the client's port is set to\n"
            "                          its own speed and stop bits (parity cannot be told on\n"
            "                          a pseudo-terminal)\n"
            "  --stop-with-parent      end when the process that started the simulator ends\n"
            "\n"
            "Faults (ADDR 0 means every relay; options for one address add up):\n"
            "  --silent ADDR           the relay answers nothing\n"
            "  --bad-crc ADDR          every reply carries a wrong CRC\n"
            "  --late-ms ADDR:MS       replies come MS later than usual\n"
            "  --garbage ADDR:HEX      these bytes go out before every reply\n"
            "  --answer-requests ADDR:N  answers N more requests, then falls silent\n"
            "  --ignore-requests ADDR:N  answers nothing to N more requests, then answers\n"
            "  --wrong-address ADDR    replies carry the next address instead of the relay's\n"
            "  --truncate ADDR         replies lose their last data byte (the CRC fits)\n"
            "  --duplicate ADDR[:MS]   a second relay of the same type at ADDR answers too, MS\n"
            "                          after the first (default 0); replies that overlap on the\n"
            "                          wire come as one garbled frame (the bitwise OR of the\n"
            "                          two), replies clear of each other one after the other\n"
            "  --fault-rate PERCENT[:KINDS]  about PERCENT % of all replies get one random\n"
            "                          fault of KINDS, a comma list of silent, bad-crc, garbage,\n"
            "                          late, truncate, wrong-address (default all), from --seed\n"
            "  --late-fault-ms MS      how late a random late reply comes (default 1500)\n"
            "\n"
            "Exit status: 0 stopped by a signal, 1 the pseudo-terminal, the TCP port or the\n"
            "log failed,\n"
            "2 wrong usage.\n");
}

} // namespace miv::sim
