// The simulator's request side: the fuzz input plays the master. A line of
// three relays (address 1 type 4, 6 type 6, 17 type 4) takes it as
//   setup       byte: bit 0 a strict line, bit 1 faults on relay 6 (the
//               next byte: bits for silent, bad CRC, wrong address, truncate,
//               refusal), bit 2 random faults (the next two bytes: rate and seed)
//   then pieces, each a mode byte and a length byte and that many bytes:
//     mode 0    bytes on the wire, split into requests as the line does
//     mode 1    the same with their correct CRC appended (to reach the relay)
//     mode 2    one frame with its CRC, handed straight to RelayLine::answer
//     mode 3    one protocol data unit handed straight to a relay model
// A reply of a line without faults must be a frame the master takes as the
// answer (or the refusal) of its request.
#include "FuzzInput.h"
#include "link/ModbusFrame.h"
#include "sim/RelayLine.h"

namespace modbus = miv::modbus;
using namespace miv::sim;

namespace {

RelayLine::Faults faultsFrom(quint8 bits)
{
    RelayLine::Faults faults;
    faults.silent = bits & 1;
    faults.badCrc = bits & 2;
    faults.wrongAddress = bits & 4;
    faults.truncate = bits & 8;
    faults.refuse = (bits & 16) ? quint8(bits >> 5) : 0;
    faults.answerRequests = (bits & 0xE0) == 0xE0 ? 2 : -1;
    return faults;
}

void answer(RelayLine &line, const QByteArray &request, bool faultless)
{
    const std::optional<RelayLine::Reply> reply = line.answer(request);
    if (!reply)
        return;
    FUZZ_EXPECT(reply->bytes.size() <= modbus::maxFrameLength);
    if (!faultless || !modbus::replyLength(request))
        return;
    // What the relay says, the master must understand.
    const modbus::ReplyMatch match = modbus::findReply(request, reply->bytes);
    FUZZ_EXPECT(match.kind != modbus::ReplyMatch::Incomplete);
    FUZZ_EXPECT(match.offset == 0 && match.length == reply->bytes.size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput input(data, size);
    // Made once: a relay's journal takes longer to fill than most runs.
    static const RelayModel relays[] = {RelayModel(1, 4), RelayModel(6, 6), RelayModel(17, 4)};
    static const RelayModel prototypeOfLoose(9, 6);
    RelayLine line;
    for (const RelayModel &relay : relays)
        line.addRelay(relay);
    RelayModel loose = prototypeOfLoose;

    const quint8 setup = input.byte();
    line.setStrictLine(setup & 1);
    bool faultless = true;
    if (setup & 2) {
        line.setFaults(6, faultsFrom(input.byte()));
        faultless = false;
    }
    if (setup & 4) {
        const quint8 rate = input.byte();
        line.setSeed(input.byte());
        line.setFaultRate(rate % 101);
        faultless = faultless && rate % 101 == 0;
    }

    QByteArray wire;
    while (!input.atEnd()) {
        const quint8 mode = input.byte() % 4;
        const QByteArray bytes = input.shortBytes();
        switch (mode) {
        case 0:
        case 1:
            wire += mode == 1 ? modbus::withCrc(bytes) : bytes;
            for (const QByteArray &request : line.takeRequests(wire)) {
                FUZZ_EXPECT(modbus::hasValidCrc(request));
                answer(line, request, faultless);
            }
            break;
        case 2:
            answer(line, modbus::withCrc(bytes), faultless);
            break;
        case 3:
            (void)loose.handle(bytes);
            break;
        }
    }
    (void)line.lastFault();
    return 0;
}
