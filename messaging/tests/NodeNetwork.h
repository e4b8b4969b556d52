#pragma once

#include "NodeProcess.h"

#include <QtTest>

#include <memory>
#include <vector>

// Node processes, three unless a test asks for more, and what a test asks of
// them together. Node i announces itself with the text "hello-i".
inline QString startAndAnnounce(int index)
{
    return QStringLiteral("start\nonline hello-%1").arg(index);
}

struct NodeNetwork
{
    std::vector<std::unique_ptr<NodeProcess>> nodes = std::vector<std::unique_ptr<NodeProcess>>(3);

    NodeProcess &operator[](int i) { return *nodes[i]; }
    int size() const { return int(nodes.size()); }

    void launch(const QProcessEnvironment &environment = NodeProcess::nodeEnvironment(), int count = 3)
    {
        nodes.resize(count);
        for (auto &node : nodes) {
            node = std::make_unique<NodeProcess>(QStringLiteral(STATION_TESTS_DIR "/nq_test_node"),
                                                 QStringList(), environment);
            node->launch();
        }
    }

    // All three start at once and meet.
    bool startTogether()
    {
        launch();
        for (int i = 0; i < size(); ++i)
            nodes[i]->command(startAndAnnounce(i));
        return allMet();
    }

    // Every node saw every other announce itself, by name and text.
    bool allMet(int timeoutMs = 60000)
    {
        const QDeadlineTimer deadline(timeoutMs);
        for (int i = 0; i < size(); ++i) {
            for (int j = 0; j < size(); ++j) {
                if (i != j && !nodes[i]->waitForLine(
                        QStringLiteral("online %1 hello-%2").arg(nodes[j]->name()).arg(j),
                        int(deadline.remainingTime())))
                    return false;
            }
        }
        return true;
    }

    int acceptedSockets()
    {
        int accepted = 0;
        for (auto &node : nodes)
            accepted += node->countErrors(QStringLiteral("NQNodeServer::onSocketConnection"));
        return accepted;
    }

    bool anyLine(const QString &line)
    {
        for (auto &node : nodes) {
            if (node && node->count(line) > 0)
                return true;
        }
        return false;
    }

    // Ends a test: the nodes and the center they started go, whatever the
    // outcome; no callback may have broken its thread rules.
    void finish()
    {
        const bool wrongThread = anyLine(QStringLiteral("wrong-thread"));
        const bool late = anyLine(QStringLiteral("late-callback"));
        for (auto &node : nodes) {
            if (node && (QTest::currentTestFailed() || wrongThread || late))
                node->dump();
            node.reset();
        }
        killCentersOfThisTest();
        QVERIFY2(!wrongThread, "a callback ran on the user's thread");
        QVERIFY2(!late, "a callback arrived after stop");
    }
};
