#include "dzcontentfolder.h"

DzContentFolder::DzContentFolder(const QString& fullPath, QObject* parent)
    : DzBase(parent), m_fullPath(fullPath)
{
    setName(fullPath);
}

DzContentFolder::~DzContentFolder() = default;

QString DzContentFolder::getFullPath() const
{
    return m_fullPath;
}
