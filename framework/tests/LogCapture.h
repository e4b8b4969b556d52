#pragma once

#include <QMutex>
#include <QStringList>
#include <QtGlobal>

// Collects every message logged, from any thread, while it exists. Messages
// still go on to the handler that was installed before.
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    QStringList messages() const;
    int count(const QString &message) const;
    void clear();

private:
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &message);

    static LogCapture *s_current;
    mutable QMutex m_mutex;
    QStringList m_messages;
    QtMessageHandler m_previous;
};
