// Loading a settings file ("*.miv") with its value checks: the fuzz input is
// the file. It is loaded into the session of a relay of type 4 and of one of
// type 6, each holding first what the program itself saved from the
// simulated relay, as after a reading. Then the file the program saves from
// that session must load again, refusing nothing that the first load took,
// and when it refuses nothing, into the same values: settings files the
// program wrote itself always load.
#include "cli/ConsoleOperator.h"
#include "config/ConfigReader.h"
#include "config/SettingsFile.h"
#include "FuzzInput.h"
#include "link/RelayBus.h"
#include "link/RelaySession.h"
#include "sim/LoopbackPort.h"

using namespace miv::sim;
using namespace miv::cli;

using namespace miv;

namespace {

constexpr int savedRows = ConfigRow::lastSwitch + 1;

void prepare(RelaySession &session, quint8 address, quint16 type)
{
    session.configGrid.fillFromCatalogue(session.catalogue);
    session.decimalSeparator = QChar(u',');
    session.device.networkAddress = address;
    session.device.typeCode = type;
}

// The file the program saves after reading the relay of that type from the
// simulated line; made once per process.
QString baselineFile(quint16 type)
{
    const QString path = scratchPath(QStringLiteral("relay-type-%1.miv").arg(type));
    static bool made[2] = {false, false};
    bool &done = made[type == 6 ? 1 : 0];
    if (!done) {
        RelayLine line;
        line.addRelay(1, type);
        LoopbackPort port(line);
        port.open(QIODevice::ReadWrite);
        RelayBus bus(&port);
        bus.setReplyTimeoutMs(200);
        QString messages;
        QTextStream stream(&messages);
        ConsoleOperator op(stream);
        RelaySession session(bus);
        prepare(session, 1, type);
        FUZZ_EXPECT(readConfiguration(session, op) == ConfigReadResult::Complete);
        FUZZ_EXPECT(SettingsFile::save(path, session.configGrid, session.timer));
        done = true;
    }
    return path;
}

RelayBus &idleBus()
{
    static RelayBus bus; // no port: loading a file never talks to the relay
    return bus;
}

// A session as after reading the relay: the baseline loaded completely.
void startAsRead(RelaySession &session, quint16 type)
{
    prepare(session, 1, type);
    FUZZ_EXPECT(SettingsFile::load(baselineFile(type), session).complete());
}

void checkRoundTrip(const QString &fuzzPath, quint16 type)
{
    RelaySession session(idleBus());
    startAsRead(session, type);
    const SettingsFile::LoadResult loaded = SettingsFile::load(fuzzPath, session);
    if (!loaded.loaded()) {
        FUZZ_EXPECT(!loaded.error.isEmpty());
        return;
    }
    (void)SettingsFile::rejectedKeysMessage(loaded.rejectedKeys);

    const QString savedPath = scratchPath(QStringLiteral("saved.miv"));
    QFile::remove(savedPath);
    QString error;
    FUZZ_EXPECT(SettingsFile::save(savedPath, session.configGrid, session.timer, &error));

    RelaySession again(idleBus());
    startAsRead(again, type);
    const SettingsFile::LoadResult reloaded = SettingsFile::load(savedPath, again);
    FUZZ_EXPECT(reloaded.loaded());
    // What the first load did not take may still be refused: nothing else.
    for (const QString &key : reloaded.rejectedKeys) {
        if (!loaded.rejectedKeys.contains(key))
            std::fprintf(stderr, "type %d: the saved file is refused at \"%s\"\n", type,
                         qPrintable(key));
        FUZZ_EXPECT(loaded.rejectedKeys.contains(key));
    }
    if (!reloaded.rejectedKeys.isEmpty())
        return;
    for (int row = 0; row < savedRows; ++row) {
        // A row the first load refused kept its earlier text, which may read
        // otherwise at the file's resolution ("25,0" as "25").
        if (loaded.rejectedKeys.contains(session.configGrid.text(row, ConfigGrid::Name)))
            continue;
        for (int column : {int(ConfigGrid::Value), int(ConfigGrid::SavedText)}) {
            if (again.configGrid.text(row, column) != session.configGrid.text(row, column)) {
                std::fprintf(stderr, "type %d row %d column %d: loaded \"%s\", reloaded \"%s\"\n",
                             type, row, column, qPrintable(session.configGrid.text(row, column)),
                             qPrintable(again.configGrid.text(row, column)));
            }
            FUZZ_EXPECT(again.configGrid.text(row, column) == session.configGrid.text(row, column));
        }
    }
    for (size_t mark = 0; mark < session.timer.marks.size(); ++mark)
        FUZZ_EXPECT(again.timer.marks[mark].time == session.timer.marks[mark].time);
    FUZZ_EXPECT(again.timer.buttons == session.timer.buttons);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = scratchPath(QStringLiteral("input.miv"));
    writeScratchFile(path, QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    checkRoundTrip(path, 4);
    checkRoundTrip(path, 6);
    return 0;
}
