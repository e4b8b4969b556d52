#include "LinkMessageInput.h"

#include <QJsonDocument>
#include <QStringList>

LinkMessageInput::LinkMessageInput(const uint8_t *data, size_t size, const QStringList &types)
{
    if (size == 0)
        return;
    const uint8_t selector = data[0];
    fromPeer = (selector & 0x80) == 0;
    const QByteArray text(reinterpret_cast<const char *>(data + 1), int(size - 1));
    message = QJsonDocument::fromJson(text).object();
    const int forced = selector & 0x0F;
    if (forced > 0 && forced <= types.size())
        message.insert(QStringLiteral("type"), types[forced - 1]);
}
