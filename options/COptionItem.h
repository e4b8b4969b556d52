#pragma once

#include <QString>
#include <QStringList>

class QDomElement;
class QXmlStreamWriter;

// One typed value of an options file. A set writes the type and the field
// that belongs to it and leaves the others alone; only the field of the
// current type is ever read back or written to a file.
class COptionItem
{
public:
    enum Type { Int = 0, Bool = 1, String = 2, StringList = 3 };

    explicit COptionItem(const QString &name);
    virtual ~COptionItem();

    void Load(const QDomElement &element);
    void Save(QXmlStreamWriter &writer) const;

    bool GetInt(int &value) const;
    bool GetBool(bool &value) const;
    bool GetString(QString &value) const;
    bool GetStringList(QStringList &value) const;
    void SetInt(int value);
    void SetBool(bool value);
    void SetString(const QString &value);
    void SetStringList(const QStringList &value);

    QString Name() const { return m_name; }
    int ItemType() const { return m_type; }

private:
    QString Text() const;

    QString m_name;
    int m_type = Int;
    int m_value = 0;
    QString m_text;
    QStringList m_list;
};
