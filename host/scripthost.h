#ifndef DZHOST_SCRIPTHOST_H
#define DZHOST_SCRIPTHOST_H

#include <QString>
#include <QStringList>

class PluginLoader;
class QScriptEngine;

// Prepares script engines the way the host does (its own types and globals, then every
// plug-in's classes) and runs script files on them.
class ScriptHost {
public:
    explicit ScriptHost(const PluginLoader& plugins) : m_plugins(plugins) {}

    // Globals: App, Scene, print(...), getScriptFileName(), getScriptArguments().
    void prepareEngine(QScriptEngine* engine, const QString& scriptFileName,
                       const QStringList& arguments) const;

    // Runs the script on a fresh engine. False, with "file:line: message", when the script
    // cannot be read or ends with an uncaught error.
    bool runFile(const QString& fileName, const QStringList& arguments, QString* error) const;

private:
    const PluginLoader& m_plugins;
};

#endif
