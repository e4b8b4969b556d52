#pragma once

#include "INQCore.h"

class NQNodeServer;

// What the user holds: every operation is handed to the node server on its
// own thread.
class NQNode : public INQNode
{
public:
    ~NQNode() override;

    QString getNodeName() override;
    bool start(INQNodeCallback *callback) override;
    bool online(INQData *packet) override;
    bool send(QString nodeName, INQData *packet) override;
    void stop() override;
    void release() override;

private:
    void dropServer();

    NQNodeServer *server = nullptr;
};
