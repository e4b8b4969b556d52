#pragma once

#include <QMap>
#include <QString>

class COptionItem;
class QDomElement;
class QXmlStreamWriter;

// A named group of items. Items are kept in name order, which is also the
// order in which they are saved.
class COptionSection
{
public:
    explicit COptionSection(const QString &name);
    virtual ~COptionSection();

    COptionSection(const COptionSection &) = delete;
    COptionSection &operator=(const COptionSection &) = delete;

    COptionItem *FindItem(const QString &name, bool create);
    void Load(const QDomElement &element);
    void Save(QXmlStreamWriter &writer) const;
    void Clear();

    QString Name() const { return m_name; }
    int ItemCount() const { return m_items.size(); }

private:
    QString m_name;
    QMap<QString, COptionItem *> m_items;
};
