#include "dzplugin.h"

#include "dzplugincontrol.h"

DzPlugin::DzPlugin(const QString& name, const QString& author, const QString& description,
                   int major, int minor, int rev, int build)
    : m_name(name), m_author(author), m_description(description)
{
    setVersion(major, minor, rev, build);
}

DzPlugin::~DzPlugin() = default;

QString DzPlugin::getName() const
{
    return m_name;
}

QString DzPlugin::getAuthor() const
{
    return m_author;
}

QString DzPlugin::getDescription() const
{
    return m_description;
}

DzVersion DzPlugin::getVersion() const
{
    return m_version;
}

QString DzPlugin::getVersionString() const
{
    return m_version.toString();
}

void DzPlugin::addClassFactory(DzClassFactory* factory)
{
    if (factory && !m_factories.contains(factory))
        m_factories.append(factory);
}

QList<DzClassFactory*> DzPluginControl::classFactories(const DzPlugin& plugin)
{
    return plugin.m_factories;
}

void DzPlugin::setAuthor(const QString& author)
{
    m_author = author;
}

void DzPlugin::setDescription(const QString& description)
{
    m_description = description;
}

void DzPlugin::setVersion(int major, int minor, int rev, int build)
{
    m_version = DzVersion(static_cast<unsigned short>(major), static_cast<unsigned short>(minor),
                          static_cast<unsigned short>(rev), static_cast<unsigned short>(build));
}
