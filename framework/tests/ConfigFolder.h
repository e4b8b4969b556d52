#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// A folder of a test's own, in its sandbox, for the configuration files it
// writes; removed with the object.
class ConfigFolder
{
public:
    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }
    // Writes the file whole; false when it could not be.
    bool write(const QString &name, const QByteArray &content) const;

private:
    QTemporaryDir m_dir;
};
