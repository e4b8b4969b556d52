#pragma once

#include <QString>
#include <QStringList>

#include <optional>

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
    // Whether Save can put the item into a file: XML cannot write every
    // character that a character reference lets a file bring in.
    bool IsWritable() const;

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
    void KeepAsRead(const QDomElement &element);

    QString m_name;
    int m_type = Int;
    int m_value = 0;
    QString m_text;
    QStringList m_list;
    // An item of a type this module does not know goes back to the file as
    // it came (its type attribute, or none, and its text), until a set gives
    // it a type of its own.
    bool m_keptAsRead = false;
    std::optional<QString> m_readType;
    QString m_readText;
};
