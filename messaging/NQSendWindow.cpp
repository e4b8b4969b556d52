#include "NQSendWindow.h"

#include "NQFrameReader.h"

#include <QLocalSocket>

#include <utility>

NQSendWindow::NQSendWindow(qint64 mark)
    : outgoing(mark)
{
}

// A payload over what a peer reads would make the peer close the socket,
// and with it every later packet: it is refused here instead.
bool NQSendWindow::admit(const QString &peer, const QByteArray &nameField, const QByteArray &payload)
{
    const qint64 payloadBytes = payload.size();
    if (payloadBytes > NQFrameReader::maxPayloadBytes) {
        qWarning("NQSendWindow::admit refused a packet of %lld bytes for %s: a peer takes at most %u",
                 payloadBytes, qPrintable(peer), NQFrameReader::maxPayloadBytes);
        return false;
    }
    const qint64 frameBytes = nameField.size() + 4 + payloadBytes;
    const NQBacklog::Admission admission = outgoing.admit(peer, frameBytes);
    if (admission.refusalsToReport > 0)
        qWarning("NQSendWindow::admit refused %lld packets for %s, which is not reading",
                 admission.refusalsToReport, qPrintable(peer));
    return admission.admitted;
}

// A socket that is not connected yet takes no write (Qt drops it as written
// to a device not open): its frames wait here, within the peer's mark.
void NQSendWindow::write(QLocalSocket *socket, const QString &peer, const QByteArray &frame, bool packet)
{
    Unsent &frames = unsent[socket];
    frames.peer = peer;
    if (!packet)
        outgoing.add(peer, frame.size());
    if (socket->state() == QLocalSocket::ConnectedState && frames.held.isEmpty())
        socket->write(frame);
    else
        frames.held += frame;
    frames.written += frame.size();
    if (packet)
        frames.frameEnds.push_back(frames.written);
}

void NQSendWindow::cancel(const QString &peer, qint64 frameBytes)
{
    outgoing.remove(peer, frameBytes);
}

void NQSendWindow::flush(QLocalSocket *socket)
{
    if (socket->state() != QLocalSocket::ConnectedState)
        return;
    const auto frames = unsent.find(socket);
    if (frames != unsent.end() && !frames->held.isEmpty())
        socket->write(std::exchange(frames->held, QByteArray()));
    socket->flush();
    countLeft(socket);
}

bool NQSendWindow::holds(QLocalSocket *socket) const
{
    const auto frames = unsent.constFind(socket);
    return frames != unsent.constEnd() && frames->left < frames->written;
}

// The count comes from what the socket still holds, not from the signal's
// figure, which the socket leaves out for writes made while it emits it.
void NQSendWindow::countLeft(QLocalSocket *socket)
{
    const auto frames = unsent.find(socket);
    if (frames == unsent.end())
        return;
    const qint64 left = frames->written - frames->held.size() - socket->bytesToWrite();
    const qint64 bytes = left - frames->left;
    frames->left = left;
    while (!frames->frameEnds.empty() && frames->frameEnds.front() <= left)
        frames->frameEnds.pop_front();
    if (bytes > 0)
        outgoing.remove(frames->peer, bytes);
}

int NQSendWindow::drop(QLocalSocket *socket)
{
    const auto frames = unsent.find(socket);
    if (frames == unsent.end())
        return 0;
    const int packets = int(frames->frameEnds.size());
    outgoing.remove(frames->peer, frames->written - frames->left);
    unsent.erase(frames);
    return packets;
}

QHash<QString, int> NQSendWindow::dropAll()
{
    QHash<QString, int> dropped;
    while (!unsent.isEmpty()) {
        const QString peer = unsent.begin()->peer;
        dropped[peer] += drop(unsent.begin().key());
    }
    return dropped;
}

void NQSendWindow::logDropped(const char *where, int packets, const QString &peer)
{
    if (packets > 0)
        qWarning("%s dropping %d packets accepted for %s: it did not read them", where, packets, qPrintable(peer));
}
