#include "NQDataBuilder.h"

#include <QMutexLocker>
#include <QtEndian>

namespace {

QByteArray keyOf(const QString &typeName)
{
    QByteArray key(2 * typeName.size(), Qt::Uninitialized);
    qToBigEndian<quint16>(typeName.utf16(), typeName.size(), key.data());
    return key;
}

// The type name's code units at the front of a packet, without a copy. What
// a data stream would read as an empty or null string (a count that is
// missing, odd, null or beyond the bytes) gives the empty key.
QByteArray keyAt(const QByteArray &bytes)
{
    if (bytes.size() < 4)
        return QByteArray();
    const quint32 count = qFromBigEndian<quint32>(bytes.constData());
    if (count % 2 != 0 || count > quint32(bytes.size() - 4))
        return QByteArray();
    return QByteArray::fromRawData(bytes.constData() + 4, int(count));
}

} // namespace

NQDataBuilder *NQDataBuilder::instance()
{
    static NQDataBuilder builder;
    return &builder;
}

bool NQDataBuilder::registerBuilder(QString typeName, Creator creator)
{
    auto shared = std::make_shared<const Creator>(std::move(creator));
    QMutexLocker locker(&mutex);
    creators.insert(keyOf(typeName), std::move(shared));
    return true;
}

INQData *NQDataBuilder::build(QByteArray bytes)
{
    std::shared_ptr<const Creator> creator;
    {
        QMutexLocker locker(&mutex);
        creator = creators.value(keyAt(bytes));
    }
    return creator && *creator ? (*creator)(bytes) : nullptr;
}
