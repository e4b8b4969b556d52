#pragma once

#include <QMap>
#include <QMutex>
#include <QUuid>

#include <atomic>

#include "IOVNDataObject.h"
#include "MutexLocker.h"

// The typed data object for any interface T derived from IOVNDataObject.
// Each kind of value lives in its own map under its own mutex, so readers
// and writers of different kinds never wait for each other. No mutex is
// held while calling out of the object.
template <typename T>
class CDataObjectBase : public T
{
public:
    CDataObjectBase() : m_strName(QUuid::createUuid().toString()) {}

    QString GetName() override { return m_strName; }

    // Setters on any thread mark the object while readers on others test
    // it, hence atomic.
    bool IsModified() override { return m_bModified.load(); }
    void SetModified() override { m_bModified.store(true); }
    void ClearModified() override { m_bModified.store(false); }

    bool GetBool(const QString &key, bool *value) override { return m_bools.Get(key, value); }
    bool GetInt(const QString &key, int *value) override { return m_ints.Get(key, value); }
    bool GetDouble(const QString &key, double *value) override { return m_doubles.Get(key, value); }
    bool GetString(const QString &key, QString *value) override { return m_strings.Get(key, value); }
    bool GetStringList(const QString &key, QStringList *value) override
    {
        return m_stringLists.Get(key, value);
    }

    // Marking goes through the virtual SetModified so that a subclass that
    // watches for changes sees every set, also one that changes nothing.
    void SetBool(const QString &key, bool value) override
    {
        this->SetModified();
        m_bools.Set(key, value);
    }
    void SetInt(const QString &key, int value) override
    {
        this->SetModified();
        m_ints.Set(key, value);
    }
    void SetDouble(const QString &key, double value) override
    {
        this->SetModified();
        m_doubles.Set(key, value);
    }
    void SetString(const QString &key, QString value) override
    {
        this->SetModified();
        m_strings.Set(key, value);
    }
    void SetStringList(const QString &key, const QStringList &value) override
    {
        this->SetModified();
        m_stringLists.Set(key, value);
    }

    virtual ~CDataObjectBase() {}

private:
    template <typename V>
    class Values
    {
    public:
        bool Get(const QString &key, V *value)
        {
            MutexLocker locker(&m_mutex);
            const auto it = m_map.constFind(key);
            if (it == m_map.constEnd())
                return false;
            *value = it.value();
            return true;
        }

        void Set(const QString &key, const V &value)
        {
            MutexLocker locker(&m_mutex);
            m_map.insert(key, value);
        }

    private:
        QMap<QString, V> m_map;
        QMutex m_mutex;
    };

    const QString m_strName;
    Values<bool> m_bools;
    Values<int> m_ints;
    Values<double> m_doubles;
    Values<QString> m_strings;
    Values<QStringList> m_stringLists;
    std::atomic<bool> m_bModified{false};
};
