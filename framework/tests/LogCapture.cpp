#include "LogCapture.h"

#include "MutexLocker.h"

LogCapture *LogCapture::s_current = nullptr;

LogCapture::LogCapture()
{
    s_current = this;
    m_previous = qInstallMessageHandler(&LogCapture::handle);
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(m_previous);
    s_current = nullptr;
}

QStringList LogCapture::messages() const
{
    MutexLocker locker(&m_mutex);
    return m_messages;
}

int LogCapture::count(const QString &message) const
{
    MutexLocker locker(&m_mutex);
    return m_messages.count(message);
}

void LogCapture::clear()
{
    MutexLocker locker(&m_mutex);
    m_messages.clear();
}

void LogCapture::handle(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    LogCapture *capture = s_current;
    if (!capture)
        return;
    {
        MutexLocker locker(&capture->m_mutex);
        capture->m_messages.append(message);
    }
    if (capture->m_previous)
        capture->m_previous(type, context, message);
}
