#include "StandInHost.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QJsonDocument>

#include "Geoscope.h"

StandInHost::StandInHost(const QStringList &arguments)
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral(STATION_TESTS_DIR "/geoscope_stand_in_host"), arguments);
}

StandInHost::~StandInHost()
{
    stop();
}

bool StandInHost::started()
{
    if (!m_token.isEmpty())
        return true;
    const QString token = waitForLine("token ");
    m_token = Geoscope::decodeLaunchToken(token);
    return !m_token.isEmpty();
}

QString StandInHost::waitForLine(const QString &prefix, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        for (int i = 0; i < m_pending.size(); ++i) {
            if (m_pending[i].startsWith(prefix))
                return m_pending.takeAt(i).mid(prefix.size());
        }
        if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning)
            return QString();
        // The link on this side runs on this thread's event loop, so it
        // must keep turning while the host's answer is awaited.
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        m_process.waitForReadyRead(10);
        m_partial += m_process.readAllStandardOutput();
        int end;
        while ((end = m_partial.indexOf('\n')) >= 0) {
            m_pending << QString::fromUtf8(m_partial.left(end));
            m_partial.remove(0, end + 1);
        }
    }
}

QJsonObject StandInHost::waitForMessage(int timeoutMs)
{
    const QString line = waitForLine("received ", timeoutMs);
    const int json = line.indexOf(' ');
    return QJsonDocument::fromJson(line.mid(json + 1).toUtf8()).object();
}

void StandInHost::send(const QJsonObject &message)
{
    m_process.write("send " + QJsonDocument(message).toJson(QJsonDocument::Compact) + "\n");
    m_process.waitForBytesWritten();
}

void StandInHost::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(30000))
        m_process.kill();
    m_process.waitForFinished();
}
