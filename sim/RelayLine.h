#pragma once

#include "sim/RelayModel.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <algorithm>
#include <map>
#include <memory>

namespace miv::sim {

// A line of simulated relays: takes request frames off the wire, lets the
// addressed relay answer, and applies the faults it was told to make.
class RelayLine
{
public:
    // Faults on demand, for one relay or (address 0) for every relay.
    struct Faults
    {
        bool silent = false; // answers nothing
        int answerRequests =
                -1; // answers this many more requests, then falls silent (-1: no limit)
        int ignoreRequests = 0; // answers nothing to this many more requests, then answers
        bool badCrc = false; // every reply's CRC is wrong
        int lateMs = 0; // replies come this much later than usual
        int lateReplies = -1; // only this many more replies come late (-1: every one)
        QByteArray garbage; // bytes sent before each reply
        bool wrongAddress = false; // replies carry another address
        bool truncate = false; // replies lose their last data byte
        quint8 refuse = 0; // every request is refused with this exception code (0: none)
    };

    // What the line sends back for one request.
    struct Reply
    {
        QByteArray bytes;
        int delayMs = 0; // the relay's latency and a late fault's delay
        int faultDelayMs = 0; // the late fault's share of delayMs
        // A second relay at the address whose reply came clear of the first
        // one's (see addDuplicate): its bytes, secondDelayMs after `bytes`.
        QByteArray secondBytes;
        int secondDelayMs = 0;
    };

    // The kinds of random fault, by their names on the command line.
    enum FaultKind : unsigned {
        Silent = 1,
        BadCrc = 2,
        Garbage = 4,
        Late = 8,
        Truncate = 16,
        WrongAddress = 32,
        AllFaultKinds = 63,
    };
    static constexpr const char *faultKindNames[] = {"silent",   "bad-crc",      "garbage", "late",
                                                     "truncate", "wrong-address"}; // bit 0, 1, ...

    // A client's serial settings as far as the line can tell them: 0 (or
    // parity 0) where it cannot.
    struct LineSettings
    {
        int baudRate = 0;
        char parity = 0; // 'N', 'E', 'O'
        int stopBits = 0;
    };

    RelayLine() = default;

    // With a strict line a relay hears only requests sent at the speed,
    // parity and stop bits of its own interface word (register 65); a setting
    // of the client's that is unknown, or a group of the word without a set
    // bit, is not compared. Off: every relay hears every request.
    void setStrictLine(bool strict) { m_strictLine = strict; }
    bool strictLine() const { return m_strictLine; }
    // What the client's port is set to now (the pseudo-terminal's or the
    // loopback port's settings).
    void setClientLine(const LineSettings &settings) { m_clientLine = settings; }
    const LineSettings &clientLine() const { return m_clientLine; }
    // A relay's own settings from its interface word.
    static LineSettings relayLine(quint16 interfaceWord);

    // Seeds the relays added afterwards (their moving values and journals)
    // and the random faults.
    void setSeed(quint32 seed);

    RelayModel &addRelay(quint8 address, int typeCode);
    // A copy of a relay made beforehand, at its own address: making a relay
    // fills its journal, which a caller that builds many lines does once.
    RelayModel &addRelay(const RelayModel &relay);
    RelayModel *relay(quint8 address);
    QList<quint8> addresses() const;

    // A second relay at `address`, as when two relays were given one
    // address: a copy of the first as it stands (add it after setting the
    // first up), with live values and a factory number (2000 + address) of
    // its own. It hears every request the first one hears, carries it out
    // and answers `laterMs` after the first one's turnaround. Replies
    // that overlap on the wire come as one garbled frame, replies clear of
    // each other one after the other (see withDuplicateReply). The first
    // relay's faults are its own; the second answers cleanly.
    RelayModel &addDuplicate(quint8 address, int laterMs = 0);
    RelayModel *duplicate(quint8 address);
    // How long one character takes on the wire, to tell whether two replies
    // overlap; 0 (the default): the line is not paced and a reply takes no time.
    void setCharacterUs(double us) { m_characterUs = std::max(0.0, us); }

    void setFaults(quint8 address, const Faults &faults);
    void clearFaults();
    void setLatencyMs(int minimum, int maximum);
    // Random faults: about `percent` % of the replies, of every relay, get
    // one fault of the given kinds, drawn from the seed. A late reply comes
    // `lateMs` after its time, past the master's reply time-out.
    void setFaultRate(double percent, unsigned kinds = AllFaultKinds, int lateMs = 1500);

    // Answers one complete request frame (address, PDU, CRC). A request with a
    // bad CRC, for nobody, or a broadcast gets no reply (broadcast writes are
    // carried out by every relay).
    std::optional<Reply> answer(const QByteArray &request);

    // Splits a byte stream into request frames; bytes that start no known
    // request are dropped one at a time so the line resynchronises.
    QList<QByteArray> takeRequests(QByteArray &buffer) const;

    // The faults that shaped the last answer, as the simulator's option names
    // ("silent", "bad-crc", "late-ms:200", ...), comma separated, a random one
    // as "fault-rate:" and its kind ("fault-rate:late-ms:1500"); empty when none.
    QString lastFault() const { return m_lastFault; }

    int requestCount() const { return m_requestCount; }
    QList<QByteArray> requests() const { return m_requests; }
    void clearRequests() { m_requests.clear(); }

private:
    struct Duplicate
    {
        std::unique_ptr<RelayModel> relay;
        int laterMs = 0;
    };

    // The addressed relay's own reply, shaped by its faults.
    std::optional<Reply> ownReply(quint8 address, RelayModel &target, const QByteArray &pdu);
    // What the master hears when the second relay at the address answers too.
    std::optional<Reply> withDuplicateReply(std::optional<Reply> first, Duplicate &second,
                                            const QByteArray &pdu);
    Faults *faultsFor(quint8 address);
    // Whether the relay understands the client's frames (always off a strict line).
    bool hearsClient(const RelayModel &relay) const;
    int latencyMs();
    quint32 nextRandom();
    // Adds a random fault to `faults` when one is due; returns its log name.
    QString drawFault(Faults &faults);

    std::map<quint8, std::unique_ptr<RelayModel>> m_relays;
    std::map<quint8, Duplicate> m_duplicates;
    double m_characterUs = 0;
    std::map<quint8, Faults> m_faults;
    int m_latencyMin = 0;
    int m_latencyMax = 0;
    quint32 m_latencySeed = 7;
    quint32 m_seed = 0;
    quint32 m_faultSeed = 0x9E3779B9u;
    double m_faultPercent = 0;
    unsigned m_faultKinds = AllFaultKinds;
    int m_lateFaultMs = 1500;
    int m_requestCount = 0;
    QList<QByteArray> m_requests;
    QString m_lastFault;
    bool m_strictLine = false;
    LineSettings m_clientLine;
};

} // namespace miv::sim
