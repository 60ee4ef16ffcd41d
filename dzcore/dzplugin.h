#ifndef DZPLUGIN_H
#define DZPLUGIN_H

#include "dzclassfactory.h"
#include "dzcoreexport.h"
#include "dzversion.h"

#include <QList>
#include <QMetaType>
#include <QObject>
#include <QString>

// What the host knows of a plug-in module: its name, author, version, description and the
// class factories it brings. A module defines one, with the macros below.
class DZCORE_EXPORT DzPlugin : public QObject {
    Q_OBJECT
public:
    DzPlugin(const QString& name, const QString& author = QString(), const QString& description = QString(),
             int major = 0, int minor = 0, int rev = 0, int build = 0);
    ~DzPlugin() override;

    QString getName() const;
    QString getAuthor() const;
    QString getDescription() const;
    DzVersion getVersion() const;
    QString getVersionString() const;

    void setAuthor(const QString& author);
    void setDescription(const QString& description);
    void setVersion(int major, int minor, int rev, int build);

    void addClassFactory(DzClassFactory* factory);

private:
    friend class DzPluginControl;

    QString m_name;
    QString m_author;
    QString m_description;
    DzVersion m_version;
    QList<DzClassFactory*> m_factories;
};

// The two functions through which the host finds a module's definition, by name.
using DzGetSDKVersionFunction = DzVersion (*)();
using DzGetPluginDefinitionFunction = DzPlugin* (*)();

// Each macro makes file-static objects that run, in the order written, when the module is
// loaded. DZ_PLUGIN_DEFINITION comes first; each use ends with a semicolon.
//
// The entry points get no visibility of their own: a module built with hidden symbols
// exports them by its own means (its compile flags, a linker script, or on Windows the
// module-definition file that lists "getSDKVersion @1" and "getPluginDefinition @2").
#if defined(_WIN32)
#include <windows.h>
#define DZ_PLUGIN_DEFINITION(pluginName)                                                        \
    static DzPlugin s_pluginDef(pluginName);                                                    \
    __declspec(dllexport) DzVersion getSDKVersion() { return DZ_SDK_VERSION; }                  \
    __declspec(dllexport) DzPlugin* getPluginDefinition() { return &s_pluginDef; }              \
    extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }                    \
    static_assert(true, "")
#else
#define DZ_PLUGIN_DEFINITION(pluginName)                                                        \
    static DzPlugin s_pluginDef(pluginName);                                                    \
    extern "C" DzVersion getSDKVersion() { return DZ_SDK_VERSION; }                              \
    extern "C" DzPlugin* getPluginDefinition() { return &s_pluginDef; }                          \
    static_assert(true, "")
#endif

#define DZ_PLUGIN_AUTHOR(author)                                                                \
    class DzPluginAuthorSetter {                                                                \
    public:                                                                                     \
        DzPluginAuthorSetter() { s_pluginDef.setAuthor(author); }                                \
    };                                                                                          \
    static DzPluginAuthorSetter s_pluginAuthorSetter

#define DZ_PLUGIN_VERSION(major, minor, rev, build)                                             \
    class DzPluginVersionSetter {                                                               \
    public:                                                                                     \
        DzPluginVersionSetter() { s_pluginDef.setVersion(major, minor, rev, build); }            \
    };                                                                                          \
    static DzPluginVersionSetter s_pluginVersionSetter

#define DZ_PLUGIN_DESCRIPTION(description)                                                      \
    class DzPluginDescriptionSetter {                                                           \
    public:                                                                                     \
        DzPluginDescriptionSetter() { s_pluginDef.setDescription(description); }                 \
    };                                                                                          \
    static DzPluginDescriptionSetter s_pluginDescriptionSetter

// Declares the meta-type of type*, and type##Factory, a DzTClassFactory for the class with
// the given identifier, one of which is added to the definition. The identifier is written
// bare: DZ_PLUGIN_CLASS_GUID(MyClass, 12345678-9ABC-DEF0-1234-56789ABCDEF0); its text, a C
// string, becomes the QString that DzGuid::fromString takes implicitly, as in the host SDK.
#define DZ_PLUGIN_CLASS_GUID(type, guid)                                                        \
    Q_DECLARE_METATYPE(type*)                                                                   \
    static const DzGuid s_##type##Guid = DzGuid::fromString(#guid);                              \
    class type##Factory : public DzTClassFactory<type> {                                        \
    public:                                                                                     \
        type##Factory() : DzTClassFactory<type>(s_##type##Guid) { s_pluginDef.addClassFactory(this); } \
    };                                                                                          \
    static type##Factory s_##type##Factory

#endif
