#include "NQDataBuilder.h"

#include <QDataStream>
#include <QMutexLocker>

NQDataBuilder *NQDataBuilder::instance()
{
    static NQDataBuilder builder;
    return &builder;
}

bool NQDataBuilder::registerBuilder(QString typeName, Creator creator)
{
    QMutexLocker locker(&mutex);
    creators[typeName] = std::move(creator);
    return true;
}

INQData *NQDataBuilder::build(QByteArray bytes)
{
    QString typeName;
    QDataStream stream(bytes);
    stream >> typeName;

    Creator creator;
    {
        QMutexLocker locker(&mutex);
        creator = creators.value(typeName);
    }
    return creator ? creator(bytes) : nullptr;
}
