#pragma once

#include <QByteArray>
#include <QString>

// The master side of a pseudo-terminal; the link opens its slave device.
class PseudoTerminal
{
public:
    PseudoTerminal();
    ~PseudoTerminal() { closeMaster(); }
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    const QString &slavePath() const { return m_slave; }
    // Ends the master side: for the link, the device went away.
    void closeMaster();
    // False when the bytes could not all be written.
    bool send(const QByteArray &bytes) const;
    // Up to `count` bytes the link wrote, waiting at most 2 s for each.
    QByteArray receive(int count) const;
    // What the link wrote and nobody read yet, without waiting.
    QByteArray pending() const;

private:
    // Up to `count` bytes, waiting at most waitMs for each read.
    QByteArray readUpTo(int count, int waitMs) const;

    int m_master = -1;
    QString m_slave;
};
