#pragma once

#include "INQCore.h"

#include <QByteArray>
#include <QHash>
#include <QMutex>

#include <memory>

// The process-wide registry from a packet type name to its creator. Every
// node's dispatcher builds through it, each on its own thread, while users
// may still register; the map is therefore locked, and a creator (user code
// of unknown cost) runs outside the lock.
class NQDataBuilder : public INQDataBuilder
{
public:
    using Creator = std::function<INQData *(QByteArray)>;

    static NQDataBuilder *instance();

    bool registerBuilder(QString typeName, Creator creator) override;
    INQData *build(QByteArray bytes);

private:
    // Keyed by the type name as it stands at the front of a packet's bytes
    // (its UTF-16 big-endian code units), so that a packet finds its creator
    // without being read twice: the creator is the one that reads it.
    QHash<QByteArray, std::shared_ptr<const Creator>> creators;
    QMutex mutex;
};
