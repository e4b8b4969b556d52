#include "NQBacklog.h"

#include <utility>

NQBacklog::Admission NQBacklog::admit(const QString &peer, qint64 bytes)
{
    const std::lock_guard<std::mutex> locker(mutex);
    Peer &entry = peers[peer];
    if (!entry.held && entry.bytes >= mark)
        entry.held = true;
    if (entry.held) {
        ++entry.refused;
        if (entry.reported.isValid() && entry.reported.elapsed() < reportEveryMs)
            return {false, 0};
        entry.reported.start();
        return {false, std::exchange(entry.refused, 0)};
    }
    entry.bytes += bytes;
    return {true, std::exchange(entry.refused, 0)};
}

bool NQBacklog::add(const QString &peer, qint64 bytes)
{
    const std::lock_guard<std::mutex> locker(mutex);
    Peer &entry = peers[peer];
    entry.bytes += bytes;
    if (entry.bytes >= mark)
        entry.held = true;
    return entry.held;
}

bool NQBacklog::remove(const QString &peer, qint64 bytes)
{
    const std::lock_guard<std::mutex> locker(mutex);
    const auto entry = peers.find(peer);
    if (entry == peers.end())
        return false;
    entry->bytes -= bytes;
    const bool letGo = entry->held && entry->bytes <= mark / 2;
    if (letGo)
        entry->held = false;
    // Peers that hold nothing and owe no report are forgotten, so that names
    // that come and go do not pile up; only now and then, since a peer that
    // keeps up empties its entry after nearly every packet.
    if (peers.size() > forgetAbove && entry->bytes <= 0)
        forgetIdle();
    return letGo;
}

void NQBacklog::forgetIdle()
{
    for (auto it = peers.begin(); it != peers.end();) {
        if (it->bytes <= 0 && !it->held && it->refused == 0)
            it = peers.erase(it);
        else
            ++it;
    }
}
