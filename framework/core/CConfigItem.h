#pragma once

#include <QMap>
#include <QString>

// One element two levels below a configuration file's root. Every value is a
// string attribute.
class CConfigItem
{
public:
    explicit CConfigItem(const QString &tag);

    QString GetTag() const;
    // Empty both when the attribute is missing and when it is empty.
    QString GetAttribute(const QString &name) const;
    void SetAttribute(const QString &name, const QString &value);

private:
    QString m_strTag;
    QMap<QString, QString> m_attributes;
};
