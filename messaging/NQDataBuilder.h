#pragma once

#include "INQCore.h"

#include <QMap>
#include <QMutex>

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
    QMap<QString, Creator> creators;
    QMutex mutex;
};
