#pragma once

#include <QList>
#include <QMap>
#include <QString>

class CConfigItem;

// One child element of a configuration file's root; its own child elements
// are its items, kept in document order. The section owns them.
class CConfigSection
{
public:
    explicit CConfigSection(const QString &tag);
    ~CConfigSection();
    CConfigSection(const CConfigSection &) = delete;
    CConfigSection &operator=(const CConfigSection &) = delete;

    QString GetTag() const;
    int GetItemCount() const;
    // Null, after a log line, for an index outside the items.
    CConfigItem *GetItemAt(int index) const;
    CConfigItem *AddItem(const QString &tag);
    void SetAttribute(const QString &name, const QString &value);

private:
    QString m_strTag;
    QList<CConfigItem *> m_items;
    QMap<QString, QString> m_attributes;
};
