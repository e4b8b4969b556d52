#pragma once

// A stand-in for the messaging library, built as a libNQCore.so of its own
// into a folder where the tests that bind it run. It records what the link
// code asks of the core and lets a test play the node's side of the calls.

#include <QByteArray>
#include <QDataStream>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>

#include <functional>
#include <memory>

#include "INQCore.h"

class FakeNode : public INQNode
{
public:
    explicit FakeNode(QString name) : name(name) {}

    QString getNodeName() override { return name; }
    bool start(INQNodeCallback *c) override
    {
        callback = c;
        return true;
    }
    bool online(INQData *packet) override
    {
        announcements.append(packet->toByteArray());
        return true;
    }
    bool send(QString nodeName, INQData *packet) override
    {
        sent.append(qMakePair(nodeName, packet->toByteArray()));
        return true;
    }
    void stop() override { calls.append(QStringLiteral("stop")); }
    // The core keeps its nodes so that a test can look at them afterwards.
    void release() override { calls.append(QStringLiteral("release")); }

    QString name;
    INQNodeCallback *callback = nullptr;
    QList<QByteArray> announcements;
    QList<QPair<QString, QByteArray>> sent;
    QStringList calls;
};

class FakeBuilder : public INQDataBuilder
{
public:
    using Creator = std::function<INQData *(QByteArray)>;

    bool registerBuilder(QString typeName, Creator creator) override
    {
        registrations.append(qMakePair(typeName, bool(creator)));
        creators[typeName] = creator;
        return true;
    }

    // What the real builder does with a received payload.
    INQData *build(const QByteArray &bytes) const
    {
        QDataStream stream(bytes);
        QString typeName;
        stream >> typeName;
        const Creator creator = creators.value(typeName);
        return creator ? creator(bytes) : nullptr;
    }

    QList<QPair<QString, bool>> registrations;
    QMap<QString, Creator> creators;
};

class FakeCore : public INQCore
{
public:
    INQNode *createNode() override
    {
        nodes.emplace_back(new FakeNode(QString::number(1000 + nodes.size())));
        return nodes.back().get();
    }
    INQDataBuilder *getDataBuilder() override { return &builder; }

    FakeBuilder builder;
    std::vector<std::unique_ptr<FakeNode>> nodes;
};

// The test side's way in: the same object that getNQCore hands out.
using FakeCoreFunction = FakeCore *(*)();
