#include "registry/RegistryRecorder.h"

#include "core/AuditLog.h"
#include "core/ProgramVersion.h"
#include "core/ValueFormat.h"
#include "registry/JournalStore.h"
#include "registry/RegistryStore.h"

namespace miv {

RegistryRecorder::RegistryRecorder(RegistryLocation location) : m_location(std::move(location)) { }

RegistryRecorder::RegistryRecorder(const QString &reason) : m_unusable(reason) { }

RegistryRecorder::~RegistryRecorder() = default;

std::unique_ptr<RegistryRecorder> RegistryRecorder::forProgram(const QString &given,
                                                               const QString &frontIni)
{
    QString error;
    if (const auto location = RegistryLocation::choose(given, frontIni, &error))
        return std::make_unique<RegistryRecorder>(*location);
    return std::make_unique<RegistryRecorder>(error);
}

RegistryStore *RegistryRecorder::store(QString *error)
{
    return opened(m_store, false, error);
}

RegistryStore *RegistryRecorder::storeForReading(QString *error)
{
    if (m_store && m_store->isOpen())
        return m_store.get();
    return opened(m_reader, true, error);
}

RegistryStore *RegistryRecorder::opened(std::unique_ptr<RegistryStore> &store, bool readOnly,
                                        QString *error)
{
    if (!m_unusable.isEmpty()) {
        if (error)
            *error = m_unusable;
        return nullptr;
    }
    if (!store) {
        store = std::make_unique<RegistryStore>(m_location);
        store->setReadOnly(readOnly);
    }
    if (store->open())
        return store.get();
    if (error)
        *error = store->error();
    // A new connection next time: the file may be mended or the server back.
    store.reset();
    return nullptr;
}

RecordOutcome RegistryRecorder::recordSettings(const SettingsRecord &record)
{
    QString error;
    RegistryStore *opened = store(&error);
    if (!opened) {
        RecordOutcome outcome;
        outcome.failure = error;
        return outcome;
    }
    RecordingContext context;
    context.user = AuditLog::systemUserName();
    context.programVersion = programVersion();
    return opened->recordSettings(record, context, systemDecimalSeparator());
}

JournalRecordOutcome RegistryRecorder::recordJournal(const JournalRecord &record)
{
    JournalRecordOutcome outcome;
    RegistryStore *opened = store(&outcome.failure);
    if (!opened)
        return outcome;
    RecordingContext context;
    context.user = AuditLog::systemUserName();
    context.programVersion = programVersion();
    JournalStore journal(*opened);
    const std::optional<int> added = journal.addRead(record, context);
    outcome.recorded = added.has_value();
    outcome.newEntries = added.value_or(0);
    if (!added)
        outcome.failure = journal.error();
    return outcome;
}

} // namespace miv
