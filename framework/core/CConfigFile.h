#pragma once

#include <QList>
#include <QString>

class CConfigSection;
class QDomElement;

// A small XML configuration file read into two levels: the root's child
// elements are sections, theirs are items, and every value is an attribute.
// The reader knows no file's vocabulary; its users interpret the sections.
class CConfigFile
{
public:
    CConfigFile() = default;
    ~CConfigFile();
    CConfigFile(const CConfigFile &) = delete;
    CConfigFile &operator=(const CConfigFile &) = delete;

    // 0 when the file was read; -1, after a log line, when it could not be
    // opened or parsed or nests its elements too deep, and the file is then
    // empty.
    int Load(const QString &path);
    // The first section with exactly this tag, owned by the file; null when
    // there is none.
    CConfigSection *GetSection(const QString &tag) const;
    void Clear();

private:
    void AddSection(const QDomElement &element);

    QList<CConfigSection *> m_sections;
};
