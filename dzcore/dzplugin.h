#ifndef DZPLUGIN_H
#define DZPLUGIN_H

#include "dzclassfactory.h"
#include "dzcoreexport.h"
#include "dzversion.h"

#include <QList>
#include <QString>

// What the host knows of a plug-in module: its name, author, version, description and the
// class factories it brings. A module defines one, with the macros below.
class DZCORE_EXPORT DzPlugin {
public:
    DzPlugin(const QString& name, const QString& author, const QString& description,
             int major, int minor, int revision, int build);
    virtual ~DzPlugin();

    QString getName() const;
    QString getAuthor() const;
    QString getDescription() const;
    DzVersion getVersion() const;
    QString getVersionString() const;

    void addClassFactory(DzClassFactory* factory);
    int getNumClassFactories() const;
    DzClassFactory* getClassFactory(int index) const;

protected:
    void setAuthor(const QString& author);
    void setDescription(const QString& description);
    void setVersion(int major, int minor, int revision, int build);

private:
    friend class DzPluginHelper;
    DzPlugin(const DzPlugin&) = delete;
    DzPlugin& operator=(const DzPlugin&) = delete;

    QString m_name;
    QString m_author;
    QString m_description;
    DzVersion m_version;
    QList<DzClassFactory*> m_factories;
};

// Lets the small static objects of the definition macros fill in a plug-in definition
// while the module is being loaded.
class DZCORE_EXPORT DzPluginHelper {
protected:
    static void setAuthor(DzPlugin* plugin, const QString& author) { plugin->setAuthor(author); }
    static void setDescription(DzPlugin* plugin, const QString& description)
    {
        plugin->setDescription(description);
    }
    static void setVersion(DzPlugin* plugin, int major, int minor, int revision, int build)
    {
        plugin->setVersion(major, minor, revision, build);
    }
};

struct DzPluginAuthor : DzPluginHelper {
    DzPluginAuthor(DzPlugin* plugin, const QString& author) { setAuthor(plugin, author); }
};

struct DzPluginDescription : DzPluginHelper {
    DzPluginDescription(DzPlugin* plugin, const QString& description)
    {
        setDescription(plugin, description);
    }
};

struct DzPluginVersion : DzPluginHelper {
    DzPluginVersion(DzPlugin* plugin, int major, int minor, int revision, int build)
    {
        setVersion(plugin, major, minor, revision, build);
    }
};

struct DzPluginClassFactory {
    DzPluginClassFactory(DzPlugin* plugin, DzClassFactory* factory) { plugin->addClassFactory(factory); }
};

// The two functions through which the host finds a module's definition.
#define DZ_PLUGIN_EXPORT extern "C" __attribute__((visibility("default")))

using DzGetSDKVersionFunction = DzVersion (*)();
using DzGetPluginDefinitionFunction = DzPlugin* (*)();

// Each macro makes file-static objects that run, in the order written, when the module is
// loaded. DZ_PLUGIN_DEFINITION comes first; each use ends with a semicolon.
#define DZ_PLUGIN_DEFINITION(pluginName)                                                        \
    static DzPlugin s_dzPluginDefinition(pluginName, QString(), QString(), 0, 0, 0, 0);         \
    DZ_PLUGIN_EXPORT DzVersion getSDKVersion()                                                  \
    {                                                                                           \
        return DzVersion(DZ_SDK_VERSION_MAJOR, DZ_SDK_VERSION_MINOR, DZ_SDK_VERSION_REV,        \
                         DZ_SDK_VERSION_BUILD);                                                 \
    }                                                                                           \
    DZ_PLUGIN_EXPORT DzPlugin* getPluginDefinition() { return &s_dzPluginDefinition; }        \
    static_assert(true, "")

#define DZ_PLUGIN_AUTHOR(author) static DzPluginAuthor s_dzPluginAuthor(&s_dzPluginDefinition, author)

#define DZ_PLUGIN_VERSION(major, minor, revision, build) \
    static DzPluginVersion s_dzPluginVersion(&s_dzPluginDefinition, major, minor, revision, build)

#define DZ_PLUGIN_DESCRIPTION(description) \
    static DzPluginDescription s_dzPluginDescription(&s_dzPluginDefinition, description)

// Declares className##Factory, a DzTClassFactory for the class, with the given identifier,
// and adds one of them to the definition. The identifier is written bare:
// DZ_PLUGIN_CLASS_GUID(MyClass, 12345678-9ABC-DEF0-1234-56789ABCDEF0)
#define DZ_PLUGIN_CLASS_GUID(className, guid)                                                   \
    static const DzGuid s_dz##className##Guid = DzGuid::fromString(QStringLiteral(#guid));      \
    class className##Factory : public DzTClassFactory<className> {                              \
    public:                                                                                     \
        className##Factory() : DzTClassFactory<className>(s_dz##className##Guid) {}             \
    };                                                                                          \
    static className##Factory s_dz##className##Factory;                                         \
    static DzPluginClassFactory s_dz##className##FactoryEntry(&s_dzPluginDefinition,           \
                                                              &s_dz##className##Factory)

#endif
