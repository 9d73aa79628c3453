#pragma once

#include "core/RelayRecorder.h"

#include <optional>
#include <QList>
#include <QString>
#include <QStringList>

namespace miv {

class Operator;
struct RelaySession;

// One relay of the line compared with its approved settings.
struct RelayCheck
{
    enum class Result {
        Same, // the relay holds its approved settings
        Differs, // it does not: see differences (approved → actual)
        NotApproved, // no settings were approved for it
        Silent, // nobody answered at the address
        NotRead, // it answered, but was not identified or its configuration not read
        NotRecorded, // read, but the register could not be updated: see failure
    };
    quint8 address = 0;
    Result result = Result::Silent;
    quint16 factoryNumber = 0;
    quint16 typeCode = 0;
    QString tag;
    QList<SettingsChange> differences;
    // Another relay was seen last at this address: its factory number.
    std::optional<quint16> replacedFactoryNumber;
    QString failure; // NotRecorded: why

    // Whether the check found something to look into: anything but Same, or a
    // replaced relay.
    bool needsAttention() const { return result != Result::Same || replacedFactoryNumber; }
};

// Checks the relay at `address`: identifies it, reads its configuration
// (recorded in the session's register as found, as every read is) and takes
// how it stands against its approval from what the register answered. The
// session must hold a recorder; its relay, grid and timer are those of the
// relay checked afterwards. Questions and messages go to `op`.
RelayCheck checkRelay(RelaySession &session, Operator &op, quint8 address);

// The result in the operator's words: "совпадает", "отличается", "не
// утверждено", "нет связи", "не прочитано", "не записано в реестр".
QString checkResultText(RelayCheck::Result result);

// The rows of the check of one relay, as fields (mivctl prints each as a
// tab-separated line, the window as a row of its table):
//   ADDR FACTORY TAG RESULT                                   (one row), or for Differs
//   ADDR FACTORY TAG отличается ROW NAME APPROVED ACTUAL      (a row per item)
// ROW is "timer" for the timer schedule; a replaced relay gets a row more:
//   ADDR FACTORY TAG заменено было №OLD
// and NotRecorded the reason after the result. The tag is as the operator
// typed it, tabs and line feeds included: the shell escapes them. ROW is as
// `naming` has it: the row number as the shell's other commands give it
// ("config read": 0 to 31, "timer"), or as the grid and the reports number
// it (RegistryViews::rowText), for the window.
enum class RowNaming { Shell, Grid };
QList<QStringList> checkFields(const RelayCheck &check, RowNaming naming);

class RegistryStore;

// "Утвердить как уставки реле...": the settings of the session's relay as
// last read (the snapshot the register made of that read) become its
// approved settings, with `note`; where the register asks for four eyes they
// are proposed instead, `note` the reason, and wait for another person, as
// `mivctl registry approve` does. nullopt with the reason in *error when no
// read of this relay was recorded or the register refused.
struct LastReadApproval
{
    std::optional<qint64> proposalId; // set when proposed, not approved
};
std::optional<LastReadApproval> approveLastRead(RegistryStore &store, const RelaySession &session,
                                                const QString &note, QString *error);

} // namespace miv
