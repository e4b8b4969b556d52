#pragma once

// The messaging library's public face: the one header that its users include.
// Users bind the library at run time (by its bare name "NQCore") and resolve
// the plain-named entry point getNQCore; nothing here needs linking against it.

#include <QByteArray>
#include <QString>

#include <functional>

class INQData;
class INQNode;
class INQNodeCallback;
class INQDataBuilder;

// A serialisable packet. Its bytes begin with its type name as a data-stream
// string, which is how the receiving side finds the creator that rebuilds it.
class INQData
{
public:
    virtual ~INQData() {}
    virtual QString type() = 0;
    virtual QByteArray toByteArray() = 0;
    virtual void release() = 0;
};

// What a node tells its user. Every call arrives on the node's dispatcher
// thread, never on the user's own thread. Packets handed over here belong to
// the callee, which releases them.
//
// Each call runs while the library holds the node's callback lock: stopping
// or releasing the node waits for that lock, so that no call runs once stop()
// returns. A callback must therefore never wait for a thread that may be
// stopping the node (a blocking call into the user's thread, a join); it may
// stop or release its own node itself. The node's threads then end once the
// callback has returned; the library stays loaded until the last of them has
// left it, however long that takes, and unloading it never waits. A peer that
// announces itself again with the same packet while it stays connected is
// not reported again.
class INQNodeCallback
{
public:
    virtual ~INQNodeCallback() {}
    virtual void onNodeOnline(QString nodeName, INQData *data) = 0;
    virtual void onNodeData(QString nodeName, INQData *data) = 0;
    virtual void onNodeOffline(QString nodeName) = 0;
};

// A named participant: its name is its process id in decimal. Packets passed
// to online() and send() stay the caller's; the node serialises them before
// the call returns.
//
// What a node holds for one peer is bounded: send() returns false, and sends
// nothing, while a peer that does not read holds 4 MiB of this node's
// packets; the caller may offer the packet again later. Refusals are logged,
// counted, at most once a second. A packet that send() accepted reaches the
// peer in order once it reads again, or is counted in a log line when the
// node stops. Coming the other way, a peer whose packets wait 4 MiB deep for
// a slow callback is not read until they have drained.
class INQNode
{
public:
    virtual ~INQNode() {}
    virtual QString getNodeName() = 0;
    virtual bool start(INQNodeCallback *callback) = 0;
    virtual bool online(INQData *packet) = 0;
    virtual bool send(QString nodeName, INQData *packet) = 0;
    virtual void stop() = 0;
    virtual void release() = 0;
};

// The process-wide registry from a packet type name to the creator that
// rebuilds such a packet from received bytes. Registering an empty creator
// makes the type unknown again.
class INQDataBuilder
{
public:
    virtual bool registerBuilder(QString typeName, std::function<INQData *(QByteArray)> creator) = 0;
};

class INQCore
{
public:
    virtual INQNode *createNode() = 0;
    virtual INQDataBuilder *getDataBuilder() = 0;
};

// Entry points of the library, resolved by these plain names.
using GetNQCoreFunction = INQCore *(*)();
using LaunchCenterFunction = bool (*)();
