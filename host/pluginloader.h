#ifndef DZHOST_PLUGINLOADER_H
#define DZHOST_PLUGINLOADER_H

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

class DzPlugin;
class QLibrary;
class QScriptEngine;

// A plug-in module the host has loaded, with the definition it exported.
struct LoadedPlugin {
    QString fileName;
    DzPlugin* definition = nullptr;
    std::shared_ptr<QLibrary> library;
};

// Loads plug-in modules the way the host does: through their two exports, refusing any
// module whose SDK version this host cannot serve.
class PluginLoader {
public:
    // A module file, or a folder whose modules are all loaded (in name order). False, with
    // the reason in error(), at the first module that cannot be loaded.
    bool load(const QString& path);

    const QList<LoadedPlugin>& plugins() const { return m_plugins; }
    QString error() const { return m_error; }

    // Each factory of each plug-in registers its class with the engine.
    void registerClasses(QScriptEngine* engine) const;
    // Name, author, version, description and class factories of each plug-in.
    QString describe() const;

private:
    bool loadModule(const QString& fileName);

    QList<LoadedPlugin> m_plugins;
    QString m_error;
};

#endif
