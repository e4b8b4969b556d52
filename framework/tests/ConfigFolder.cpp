#include "ConfigFolder.h"

#include <QFile>

bool ConfigFolder::write(const QString &name, const QByteArray &content) const
{
    QFile file(m_dir.filePath(name));
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}
