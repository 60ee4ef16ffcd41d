#include "dzcontentfolder.h"

DzContentFolder::DzContentFolder(const QString& fullPath, bool isImportFolder, QObject* parent)
    : DzBase(parent), m_fullPath(fullPath), m_isImportFolder(isImportFolder)
{
    setName(fullPath);
}

DzContentFolder::~DzContentFolder() = default;

QString DzContentFolder::getFullPath() const
{
    return m_fullPath;
}

bool DzContentFolder::isImportFolder() const
{
    return m_isImportFolder;
}
