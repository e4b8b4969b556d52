#pragma once

#include <QString>
#include <QStringList>

// One options document as the options service lends it to other modules.
// The document belongs to the service: never delete it, never keep it past
// the service's release. Sets change memory only; Save() writes the file.
class IOptionObject
{
public:
    virtual int GetInt(const QString &section, const QString &item, int defaultValue) = 0;
    virtual void SetInt(const QString &section, const QString &item, int value) = 0;
    virtual bool GetBool(const QString &section, const QString &item, bool defaultValue) = 0;
    virtual void SetBool(const QString &section, const QString &item, bool value) = 0;
    virtual QString GetString(const QString &section, const QString &item, const QString &defaultValue) = 0;
    virtual void SetString(const QString &section, const QString &item, const QString &value) = 0;
    virtual bool GetStringList(const QString &section, const QString &item, QStringList &out) = 0;
    virtual void SetStringList(const QString &section, const QString &item, const QStringList &value) = 0;
    virtual bool Save() = 0;
};
