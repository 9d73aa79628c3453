#pragma once

#include <QObject>
#include <QStringList>

namespace miv {

// A handler with its name, "Class::member", both taken from the one member
// by MIV_HANDLER, so that the name cannot tell of another member.
template<class Member>
struct NamedHandler
{
    Member member;
    const char *name;
};

// The handlers a window class has connected to its controls, its signals
// and the actions, by name ("Tdm::a_poolingExecute"): what the README's
// table from each caption to its handler is checked against.
class HandlerNames
{
public:
    // Connects `handler` of `receiver` to `signal` and notes its name when
    // the connection was made.
    template<class Sender, class Signal, class Receiver, class Member>
    void connect(const Sender *sender, Signal signal, const Receiver *receiver,
                 NamedHandler<Member> handler)
    {
        note(handler.name, QObject::connect(sender, signal, receiver, handler.member));
    }
    // Notes a handler that a connection reaches through a function of its own
    // (one that gives the handler its sender, say).
    void note(const char *name, const QMetaObject::Connection &connection)
    {
        if (connection && !m_names.contains(QLatin1String(name)))
            m_names << QLatin1String(name);
    }
    const QStringList &names() const { return m_names; }

private:
    QStringList m_names;
};

} // namespace miv

#define MIV_HANDLER(Class, member)              \
  ::miv::NamedHandler<decltype(&Class::member)> \
  {                                             \
    &Class::member, #Class "::" #member         \
  }
