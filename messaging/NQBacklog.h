#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QString>

#include <mutex>

// What a node holds for its peers in one direction, in bytes per peer,
// against a high-water mark. One thread queues and another drains, so both
// count under one lock. A peer at its mark is held (its packets refused, or
// its socket left unread) until it has drained to half the mark, so that a
// peer near the mark does not flip between the two on every packet.
class NQBacklog
{
public:
    explicit NQBacklog(qint64 mark) : mark(mark) {}

    struct Admission
    {
        bool admitted;
        // Refused packets not yet reported: report them now. At most once a
        // second while a peer is held, and once more when it is let go.
        qint64 refusalsToReport;
    };

    // Counts a packet in unless the peer is held. A packet larger than the
    // mark still goes when the peer holds nothing.
    Admission admit(const QString &peer, qint64 bytes);
    // Counts a packet in whatever the peer holds; true when the peer is held
    // now.
    bool add(const QString &peer, qint64 bytes);
    // Counts bytes out; true when this lets a held peer go.
    bool remove(const QString &peer, qint64 bytes);

private:
    struct Peer
    {
        qint64 bytes = 0;
        bool held = false;
        qint64 refused = 0;
        QElapsedTimer reported;
    };

    void forgetIdle();

    static constexpr qint64 reportEveryMs = 1000;
    static constexpr int forgetAbove = 64;

    const qint64 mark;
    std::mutex mutex;
    QHash<QString, Peer> peers;
};
