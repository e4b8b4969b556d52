#include "geo/FontFileLookup.h"

#include <QString>

#include <osgDB/FileNameUtils>
#include <osgDB/Registry>

#include "platform/FontLookup.h"

namespace geo {

namespace {

bool isFontFileName(const std::string &filename)
{
    const std::string extension = osgDB::getLowerCaseFileExtension(filename);
    return extension == "ttf" || extension == "ttc" || extension == "otf";
}

} // namespace

FontFileLookup::FontFileLookup(osgDB::FindFileCallback *next)
    : m_next(next)
{
}

void FontFileLookup::install()
{
    osgDB::Registry *registry = osgDB::Registry::instance();
    if (dynamic_cast<FontFileLookup *>(registry->getFindFileCallback()))
        return;
    registry->setFindFileCallback(new FontFileLookup(registry->getFindFileCallback()));
}

std::string FontFileLookup::findDataFile(const std::string &filename, const osgDB::Options *options,
                                         osgDB::CaseSensitivity caseSensitivity)
{
    const std::string found = m_next
        ? m_next->findDataFile(filename, options, caseSensitivity)
        : osgDB::Registry::instance()->findDataFileImplementation(filename, options, caseSensitivity);
    if (!found.empty() || !isFontFileName(filename))
        return found;
    // The text library retries under "fonts/"; the name is what counts.
    const QString standIn = platform::fontFileFor(QString::fromStdString(osgDB::getSimpleFileName(filename)));
    return standIn.toStdString();
}

} // namespace geo
