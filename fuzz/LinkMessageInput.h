#pragma once

#include <QJsonObject>
#include <QString>

#include <cstddef>
#include <cstdint>

// A link message as a fuzz input: the first byte picks the sender (the peer
// or a stranger) and may force one of the receiver's message types, the rest
// is the JSON text. Text that is no JSON object gives an empty object, which
// is what the link hands on for it.
struct LinkMessageInput
{
    bool fromPeer = true;
    QJsonObject message;

    LinkMessageInput(const uint8_t *data, size_t size, const QStringList &types);
};
