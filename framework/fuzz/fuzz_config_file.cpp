// The configuration reader on any bytes: it either reads a file or refuses
// it and is then empty, and what it read matches the document.
#include <QDomDocument>

#include "CConfigFile.h"
#include "CConfigItem.h"
#include "CConfigSection.h"
#include "FuzzSupport.h"

namespace {

// The reader's two levels as an independent parse sees them.
void checkAgainstDocument(const CConfigFile &config, const QString &path)
{
    // The bytes as they are, as the reader reads them.
    QDomDocument document;
    FUZZ_CHECK(document.setContent(FuzzSupport::readAll(path), false));
    const QDomElement first = document.documentElement().firstChildElement();
    if (first.isNull())
        return;
    CConfigSection *section = config.GetSection(first.tagName());
    FUZZ_CHECK(section != nullptr);
    FUZZ_CHECK(section->GetTag() == first.tagName());

    int count = 0;
    for (QDomElement item = first.firstChildElement(); !item.isNull();
         item = item.nextSiblingElement(), ++count) {
        const CConfigItem *read = section->GetItemAt(count);
        FUZZ_CHECK(read != nullptr);
        FUZZ_CHECK(read->GetTag() == item.tagName());
        const QDomNamedNodeMap attributes = item.attributes();
        for (int i = 0; i < attributes.count(); ++i) {
            const QDomAttr attribute = attributes.item(i).toAttr();
            FUZZ_CHECK(read->GetAttribute(attribute.name()) == item.attribute(attribute.name()));
        }
    }
    FUZZ_CHECK(section->GetItemCount() == count);
    FUZZ_CHECK(section->GetItemAt(count) == nullptr);
    FUZZ_CHECK(section->GetItemAt(-1) == nullptr);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = FuzzSupport::writeInput(data, size);
    CConfigFile config;
    const int result = config.Load(path);
    FUZZ_CHECK(result == 0 || result == -1);
    if (result == 0)
        checkAgainstDocument(config, path);
    else
        FUZZ_CHECK(config.GetSection(QString()) == nullptr);

    // A second load replaces the first whole; nothing of it may leak.
    FUZZ_CHECK(config.Load(path) == result);
    return 0;
}
