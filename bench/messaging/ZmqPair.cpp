#include "ZmqPair.h"

#include <zmq.h>

ZmqPair::ZmqPair()
    : context(zmq_ctx_new())
    , socket(zmq_socket(context, ZMQ_PAIR))
{
    const int linger = 0;
    zmq_setsockopt(socket, ZMQ_LINGER, &linger, sizeof linger);
}

ZmqPair::~ZmqPair()
{
    zmq_close(socket);
    zmq_ctx_term(context);
}

bool ZmqPair::bind(const QString &endpoint)
{
    return zmq_bind(socket, endpoint.toUtf8().constData()) == 0;
}

bool ZmqPair::connect(const QString &endpoint)
{
    return zmq_connect(socket, endpoint.toUtf8().constData()) == 0;
}

bool ZmqPair::send(const QByteArray &bytes)
{
    return zmq_send(socket, bytes.constData(), size_t(bytes.size()), 0) == bytes.size();
}

bool ZmqPair::receive(QByteArray *bytes, int timeoutMs)
{
    if (timeoutMs != receiveTimeoutMs) {
        receiveTimeoutMs = timeoutMs;
        zmq_setsockopt(socket, ZMQ_RCVTIMEO, &timeoutMs, sizeof timeoutMs);
    }
    zmq_msg_t message;
    zmq_msg_init(&message);
    const bool received = zmq_msg_recv(&message, socket, 0) >= 0;
    if (received)
        *bytes = QByteArray(static_cast<const char *>(zmq_msg_data(&message)), int(zmq_msg_size(&message)));
    zmq_msg_close(&message);
    return received;
}
