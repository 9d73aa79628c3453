#pragma once

#include <QString>

namespace miv::sim {

// A symbolic link that gives the simulated line a name that stays when the
// simulator is started again (its pseudo-terminal gets a new number each
// time), as /dev/serial/by-id does for an adapter. An existing link at the
// path is taken over; any other file there is left alone and refused. The
// link goes when this object does, unless another simulator took it over.
class StableLink
{
public:
    StableLink() = default;
    ~StableLink();
    StableLink(const StableLink &) = delete;
    StableLink &operator=(const StableLink &) = delete;

    bool create(const QString &linkPath, const QString &target, QString *error);

private:
    QString m_path;
    QString m_target;
};

} // namespace miv::sim
