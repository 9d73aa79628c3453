#pragma once

#include "core/RelayRecorder.h"
#include "registry/RegistryLocation.h"

#include <memory>

namespace miv {

class RegistryStore;

// The recorder the window and mivctl hand down to the operations: it records
// into the register at `location`, opened on the first record (so that a
// run that reads no relay never touches it) and tried again at every record
// after a failure. The snapshot's user is the PC's, its program version this
// program's.
class RegistryRecorder final : public RelayRecorder
{
public:
    explicit RegistryRecorder(RegistryLocation location);
    // A register that cannot be used at all (its address in "front.ini" does
    // not parse): every record fails with `reason`, so that nothing is
    // skipped silently.
    explicit RegistryRecorder(const QString &reason);
    ~RegistryRecorder() override;

    // The recorder of the window or of mivctl: the register RegistryLocation::
    // choose names, or one that fails every record with the reason it could
    // not be named.
    static std::unique_ptr<RegistryRecorder> forProgram(const QString &given,
                                                        const QString &frontIni);

    RecordOutcome recordSettings(const SettingsRecord &record) override;
    JournalRecordOutcome recordJournal(const JournalRecord &record) override;

    // The store, opened; nullptr with the reason in *error when it cannot be.
    RegistryStore *store(QString *error = nullptr);
    // The store for what only reads the register: the one above when it is
    // open, else one opened for reading only (RegistryStore::setReadOnly), so
    // that a register on a read-only or full disk is read all the same.
    RegistryStore *storeForReading(QString *error = nullptr);
    const RegistryLocation &location() const { return m_location; }

private:
    RegistryStore *opened(std::unique_ptr<RegistryStore> &store, bool readOnly, QString *error);

    RegistryLocation m_location;
    QString m_unusable;
    std::unique_ptr<RegistryStore> m_store;
    std::unique_ptr<RegistryStore> m_reader;
};

} // namespace miv
