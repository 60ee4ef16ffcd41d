#include "pluginloader.h"

#include "hostplatform.h"

#include "dzplugin.h"
#include "dzplugincontrol.h"
#include "hostqtcompat.h"

#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QTextStream>

namespace {

DzVersion hostSdkVersion()
{
    return DZ_SDK_VERSION;
}

} // namespace

bool PluginLoader::load(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        m_error = QStringLiteral("%1: no such file or folder").arg(path);
        return false;
    }
    if (!info.isDir())
        return loadModule(info.absoluteFilePath());

    const QFileInfoList modules = QDir(path).entryInfoList(QStringList{pluginModulePattern()},
                                                           QDir::Files, QDir::Name);
    for (const QFileInfo& module : modules) {
        if (!loadModule(module.absoluteFilePath()))
            return false;
    }
    return true;
}

bool PluginLoader::loadModule(const QString& fileName)
{
    for (const LoadedPlugin& plugin : m_plugins) {
        if (plugin.fileName == fileName)
            return true;
    }
    auto library = std::make_shared<QLibrary>(fileName);
    if (!library->load()) {
        m_error = QStringLiteral("%1: %2").arg(fileName, library->errorString());
        return false;
    }
    const auto getSDKVersion =
        reinterpret_cast<DzGetSDKVersionFunction>(library->resolve("getSDKVersion"));
    const auto getPluginDefinition =
        reinterpret_cast<DzGetPluginDefinitionFunction>(library->resolve("getPluginDefinition"));
    if (!getSDKVersion || !getPluginDefinition) {
        m_error = QStringLiteral("%1: not a plug-in module (getSDKVersion or getPluginDefinition "
                                 "is missing)").arg(fileName);
        return false;
    }
    const DzVersion built = getSDKVersion();
    const DzVersion host = hostSdkVersion();
    if (built.getMajor() != host.getMajor() || host < built) {
        m_error = QStringLiteral("%1: built against SDK %2, which this host (SDK %3) cannot load")
                      .arg(fileName, built.toString(), host.toString());
        return false;
    }
    DzPlugin* definition = getPluginDefinition();
    if (!definition) {
        m_error = QStringLiteral("%1: the module has no plug-in definition").arg(fileName);
        return false;
    }
    m_plugins.append(LoadedPlugin{fileName, definition, library});
    return true;
}

void PluginLoader::registerClasses(QScriptEngine* engine) const
{
    for (const LoadedPlugin& plugin : m_plugins) {
        for (const DzClassFactory* factory : DzPluginControl::classFactories(*plugin.definition))
            factory->registerClass(engine);
    }
}

QString PluginLoader::describe() const
{
    QString text;
    QTextStream out(&text);
    for (const LoadedPlugin& plugin : m_plugins) {
        const DzPlugin* definition = plugin.definition;
        out << definition->getName() << '\n'
            << "  author:      " << definition->getAuthor() << '\n'
            << "  version:     " << definition->getVersionString() << '\n'
            << "  description: " << definition->getDescription() << '\n'
            << "  module:      " << plugin.fileName << '\n';
        for (const DzClassFactory* factory : DzPluginControl::classFactories(*definition)) {
            out << "  class:       " << factory->className() << ' '
                << factory->classID().toString() << '\n';
        }
    }
    return text;
}
