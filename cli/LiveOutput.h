#pragma once

#include "device/LiveRead.h"

#include <QString>
#include <QTextStream>

namespace miv::cli {

class CliContext;

// Refreshes the live values of the identified relay as the window does and
// prints the value labels (caption, TAB, the label's text) and the lamps
// (caption, TAB, on|off; the two direct lamps green|red|off|blinking).
// The exit status: Done, LinkFailure (no answer, port failed) or Refused (the
// relay refused the read); the reason is on stderr.
int refreshAndPrintLive(CliContext &context);

// Appends one trend row: the time and the raw registers 16..45 and 112..117.
// A new (empty) file gets the header line first. False when it cannot be written.
bool appendLiveCsvRow(const QString &path, CliContext &context, QString *error);

// Exit status for a bus outcome.
int exitStatusOf(miv::BusOutcome outcome);

} // namespace miv::cli
