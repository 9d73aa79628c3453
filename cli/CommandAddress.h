#pragma once

#include "device/Identification.h"

#include <QString>
#include <optional>

class CliContext;

// A relay's bus address as the commands take it: 1 to 247.
std::optional<quint8> parseRelayAddress(const QString &text);

// Identifies the relay at `address` as a double click on its list line does,
// so that CurrentDevice holds its type. A relay that does not answer is told
// on stderr as the device list would name it.
IdentificationResult identifyRelay(CliContext &context, quint8 address);
