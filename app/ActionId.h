#pragma once

#include <QtGlobal>
#include <array>
#include <initializer_list>

namespace miv {

// The data module's actions, in the order of the action list.
enum class ActionId {
    a_pooling,
    a_getinfo,
    a_refresh,
    a_setref,
    a_print,
    a_getdata,
    a_setdata,
    a_port,
    a_exit,
    a_about,
    a_chpass,
    a_save,
    a_load,
    a_manual,
};
inline constexpr int actionCount = 14;

inline constexpr std::array<ActionId, actionCount> allActions{
        ActionId::a_pooling, ActionId::a_getinfo, ActionId::a_refresh, ActionId::a_setref,
        ActionId::a_print,   ActionId::a_getdata, ActionId::a_setdata, ActionId::a_port,
        ActionId::a_exit,    ActionId::a_about,   ActionId::a_chpass,  ActionId::a_save,
        ActionId::a_load,    ActionId::a_manual,
};

// A small set of actions.
class ActionSet
{
public:
    constexpr ActionSet() = default;
    constexpr ActionSet(std::initializer_list<ActionId> actions)
    {
        for (ActionId action : actions)
            insert(action);
    }

    constexpr void insert(ActionId action) { m_bits |= bit(action); }
    constexpr bool contains(ActionId action) const { return (m_bits & bit(action)) != 0; }
    constexpr bool isEmpty() const { return m_bits == 0; }
    constexpr ActionSet &operator|=(ActionSet other)
    {
        m_bits |= other.m_bits;
        return *this;
    }
    constexpr bool operator==(const ActionSet &) const = default;

private:
    static constexpr quint32 bit(ActionId action) { return quint32(1) << int(action); }
    quint32 m_bits = 0;
};

} // namespace miv
