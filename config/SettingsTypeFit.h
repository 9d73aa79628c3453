#pragma once

#include <optional>
#include <QString>

namespace miv {

struct SettingsSnapshot;

// What of a settings file a relay of another type has no place for: the
// timer schedule and the tank algorithm (row 31) exist on МИВ-06 only. A
// МИВ-06 file given to a МИВ-04 loses them, a МИВ-04 file leaves a МИВ-06's
// own as they are; the operator is told before any value is carried, in
// the window and in the shell alike.
namespace SettingsTypeFit {

// What a file gives of the МИВ-06's own values.
struct Content
{
    bool timer = false; // a timer caption, or a mark other than 00:00
    bool tankAlgorithm = false; // row 31 "вкл." or "откл."
};

// The content of a file's values as a held file keeps them.
Content contentOf(const SettingsSnapshot &snapshot);

// Where the values go: a relay identified, or a relay type chosen for a file
// opened with no relay.
enum class Target { Relay, ChosenType };

// The warning for a file named `fileName` (as shown) going to `target` of
// type `typeCode`, the file made for `fileTypeCode` when that is known (a
// file held with no relay), else as its content tells; empty when
// everything of the file fits.
QString warning(const QString &fileName, std::optional<quint16> fileTypeCode,
                const Content &content, quint16 typeCode, Target target = Target::Relay);

} // namespace SettingsTypeFit

} // namespace miv
