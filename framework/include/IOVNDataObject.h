#pragma once

#include <QString>
#include <QStringList>

// A store of typed values under string keys, shared between the framework
// and its modules. Each kind of value (bool, int, double, string, string
// list) has its own key space: a key set as an int is not visible as a
// string, and one key may hold a value of every kind at once.
//
// Getters return false and leave *value untouched when the key is absent;
// callers always pass a valid pointer. Every setter marks the object
// modified, also when the value does not change.
//
// Objects behind this interface are never deleted through it.
class IOVNDataObject
{
public:
    virtual QString GetName() = 0;
    virtual bool IsModified() = 0;
    virtual void SetModified() = 0;
    virtual void ClearModified() = 0;

    virtual bool GetBool(const QString &key, bool *value) = 0;
    virtual bool GetInt(const QString &key, int *value) = 0;
    virtual bool GetDouble(const QString &key, double *value) = 0;
    virtual bool GetString(const QString &key, QString *value) = 0;
    virtual bool GetStringList(const QString &key, QStringList *value) = 0;

    virtual void SetBool(const QString &key, bool value) = 0;
    virtual void SetInt(const QString &key, int value) = 0;
    virtual void SetDouble(const QString &key, double value) = 0;
    virtual void SetString(const QString &key, QString value) = 0;
    virtual void SetStringList(const QString &key, const QStringList &value) = 0;

protected:
    ~IOVNDataObject() = default;
};
