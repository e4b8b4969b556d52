#pragma once

#include <osgDB/Callbacks>

namespace geo {

// Lets a font asked for by file name alone ("simhei.ttf") be found although
// no such file is installed: when the usual search of the database fails for
// a font file, the platform's font lookup names the installed font that
// stands for it. Text built by this library installs it itself; a program
// that reads fonts before it builds any text calls install() first.
class FontFileLookup : public osgDB::FindFileCallback
{
public:
    // Idempotent; keeps a callback that was installed before it.
    static void install();

    std::string findDataFile(const std::string &filename, const osgDB::Options *options,
                             osgDB::CaseSensitivity caseSensitivity) override;

private:
    explicit FontFileLookup(osgDB::FindFileCallback *next);

    osg::ref_ptr<osgDB::FindFileCallback> m_next;
};

} // namespace geo
