// The option document loader on any bytes. Whatever it accepts must survive
// a save: the saved file reads back with the same sections, items, types and
// values. A save that cannot be read again would lose the user's options at
// the next start.
#include <QDomDocument>
#include <QFile>
#include <QStringList>

#include "COptionItem.h"
#include "COptionObject.h"
#include "COptionSection.h"
#include "FuzzSupport.h"

namespace {

// QDom drops text that is only white space, so such a string comes back
// empty; that is the one change a round trip may make.
QString comparable(const QString &text)
{
    return text.trimmed().isEmpty() ? QString() : text;
}

QString valueOf(const COptionItem *item)
{
    int number = 0;
    bool flag = false;
    QString text;
    QStringList list;
    if (item->GetInt(number))
        return QString::number(number);
    if (item->GetBool(flag))
        return flag ? QStringLiteral("true") : QStringLiteral("false");
    if (item->GetString(text))
        return comparable(text);
    if (item->GetStringList(list))
        return list.join(QLatin1Char('\n'));
    return QString();
}

// The objects cannot list their names, so they are taken from the saved
// file, which holds every section and item the saving object had.
void compareThroughSavedFile(COptionObject &saved, COptionObject &reloaded, const QString &path)
{
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::ReadOnly | QIODevice::Text));
    QDomDocument document;
    FUZZ_CHECK(document.setContent(&file, false));
    for (QDomElement s = document.documentElement().firstChildElement(); !s.isNull();
         s = s.nextSiblingElement()) {
        const QString sectionName = s.attribute(QStringLiteral("name"));
        COptionSection *before = saved.FindSection(sectionName, false);
        COptionSection *after = reloaded.FindSection(sectionName, false);
        FUZZ_CHECK(before != nullptr && after != nullptr);
        FUZZ_CHECK(before->ItemCount() == after->ItemCount());
        for (QDomElement i = s.firstChildElement(); !i.isNull(); i = i.nextSiblingElement()) {
            const QString itemName = i.attribute(QStringLiteral("name"));
            const COptionItem *was = before->FindItem(itemName, false);
            const COptionItem *is = after->FindItem(itemName, false);
            FUZZ_CHECK(was != nullptr && is != nullptr);
            FUZZ_CHECK(was->ItemType() == is->ItemType());
            FUZZ_CHECK(valueOf(was) == valueOf(is));
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = FuzzSupport::writeInput(data, size);
    COptionObject options(COptionObject::UserOptions);
    if (!options.Load(path)) {
        FUZZ_CHECK(!options.IsLoaded());
        FUZZ_CHECK(options.SectionCount() == 0);
        // A file that could not be read is never written over.
        options.SetInt(QStringLiteral("S"), QStringLiteral("i"), 1);
        FUZZ_CHECK(!options.Save());
        FUZZ_CHECK(FuzzSupport::readAll(path) == QByteArray(reinterpret_cast<const char *>(data), int(size)));
        return 0;
    }
    FUZZ_CHECK(options.IsLoaded());
    // What a load let in can always be written: text that XML cannot hold
    // (a control character read from a character reference) was refused.
    FUZZ_CHECK(options.Save());

    COptionObject reloaded(COptionObject::UserOptions);
    FUZZ_CHECK(reloaded.Load(path));
    FUZZ_CHECK(reloaded.SectionCount() == options.SectionCount());
    compareThroughSavedFile(options, reloaded, path);
    return 0;
}
