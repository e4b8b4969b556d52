#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

#include "IOptionObject.h"

class COptionItem;
class COptionSection;
class IApplicationContext;

// The in-memory form of one options file: named sections of named, typed
// items. Sections and items are held in name order and saved in that order.
class COptionObject : public IOptionObject
{
public:
    enum Kind { UserOptions = 0, AppOptions = 1 };

    explicit COptionObject(int kind);
    ~COptionObject();

    COptionObject(const COptionObject &) = delete;
    COptionObject &operator=(const COptionObject &) = delete;

    int GetInt(const QString &section, const QString &item, int defaultValue) override;
    void SetInt(const QString &section, const QString &item, int value) override;
    bool GetBool(const QString &section, const QString &item, bool defaultValue) override;
    void SetBool(const QString &section, const QString &item, bool value) override;
    QString GetString(const QString &section, const QString &item, const QString &defaultValue) override;
    void SetString(const QString &section, const QString &item, const QString &value) override;
    bool GetStringList(const QString &section, const QString &item, QStringList &out) override;
    void SetStringList(const QString &section, const QString &item, const QStringList &value) override;
    bool Save() override;

    void Init(IApplicationContext *context, const QString &path);
    bool Load(const QString &path);
    // Empties the document and keeps the path; Save refuses until the next
    // Load.
    void Clear();
    bool IsLoaded() const { return m_loaded; }
    // The last Load found a file at the path that is no options document.
    // Save refuses until a Load reads the path again, as it does when the
    // file could not be opened.
    bool IsFileUnreadable() const { return m_fileUnreadable; }

    COptionSection *FindSection(const QString &name, bool create);
    QString Path() const { return m_path; }
    int SectionCount() const { return m_sections.size(); }

private:
    COptionItem *FindItem(const QString &section, const QString &item);
    // Null, after a log line, when a name or a value cannot go to the file.
    COptionItem *MakeItem(const QString &section, const QString &item,
                          const QStringList &texts = QStringList());

    int m_kind;
    QString m_path;
    IApplicationContext *m_context = nullptr;
    QMap<QString, COptionSection *> m_sections;
    bool m_loaded = false;
    bool m_cleared = false;
    bool m_fileUnreadable = false;
    bool m_fileUnavailable = false;
};
