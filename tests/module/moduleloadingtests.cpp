#include "dzapp.h"
#include "dzclassfactory.h"
#include "dzplugin.h"
#include "dzplugincontrol.h"
#include "testqtcompat.h"

#include <QLibrary>
#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

namespace {

class ModuleLoading : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_module = new QLibrary(QStringLiteral(GARBWRIGHT_MODULE_PATH));
        ASSERT_TRUE(s_module->load()) << s_module->errorString().toStdString();
    }
    static void TearDownTestSuite()
    {
        s_module->unload();
        delete s_module;
        s_module = nullptr;
    }

    static QFunctionPointer resolve(const char* name)
    {
        return reinterpret_cast<QFunctionPointer>(s_module->resolve(name));
    }

    static QLibrary* s_module;
};

QLibrary* ModuleLoading::s_module = nullptr;

TEST_F(ModuleLoading, SdkVersion_Is4_5_0_100)
{
    const auto getSDKVersion = reinterpret_cast<DzGetSDKVersionFunction>(resolve("getSDKVersion"));
    ASSERT_NE(getSDKVersion, nullptr);
    const DzVersion version = getSDKVersion();
    EXPECT_EQ(version, DzVersion(4, 5, 0, 100));
    EXPECT_EQ(version.toString(), QStringLiteral("4.5.0.100"));
}

TEST_F(ModuleLoading, PluginDefinition_DescribesPliantClothing)
{
    const auto getPluginDefinition =
        reinterpret_cast<DzGetPluginDefinitionFunction>(resolve("getPluginDefinition"));
    ASSERT_NE(getPluginDefinition, nullptr);
    DzPlugin* definition = getPluginDefinition();
    ASSERT_NE(definition, nullptr);
    EXPECT_EQ(getPluginDefinition(), definition) << "always the same object";

    EXPECT_EQ(definition->getName(), QStringLiteral("Pliant Clothing"));
    EXPECT_EQ(definition->getAuthor(), QStringLiteral("Brackenmoor"));
    EXPECT_EQ(definition->getVersion(), DzVersion(1, 0, 0, 0));
    EXPECT_EQ(definition->getDescription(),
              QStringLiteral("This plugin allows DAZ Studio users to use Pliant Clothing"));

    ASSERT_EQ(DzPluginControl::classFactories(*definition).size(), 1);
    const DzClassFactory* factory = DzPluginControl::classFactories(*definition).value(0);
    EXPECT_STREQ(factory->className(), "BMPliantClothing");
    EXPECT_EQ(factory->classID().toString(), QStringLiteral("78494DDE-5300-4CC9-A1D1-001ECDE80AA3"));
    EXPECT_EQ(factory->classID(), DzGuid::fromString(QStringLiteral("{78494dde-5300-4cc9-a1d1-001ecde80aa3}")));
}

TEST_F(ModuleLoading, DynamicSymbolTable_ExportsOnlyTheTwoEntryPoints)
{
#if defined(_WIN32)
    GTEST_SKIP() << "a DLL has no ELF symbol table: the Windows run reads its exports with objdump";
#endif
    QProcess nm;
    nm.start(QStringLiteral("nm"), {QStringLiteral("-D"), QStringLiteral("--defined-only"),
                                    QStringLiteral(GARBWRIGHT_MODULE_PATH)});
    ASSERT_TRUE(nm.waitForFinished(30000));
    ASSERT_EQ(nm.exitCode(), 0) << nm.readAllStandardError().constData();

    QStringList names;
    for (const QByteArray& line : nm.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() == 3)
            names.append(QString::fromLatin1(fields.at(2)));
    }
    names.sort();
    EXPECT_EQ(names, (QStringList{QStringLiteral("getPluginDefinition"), QStringLiteral("getSDKVersion")}));
}

TEST_F(ModuleLoading, ScriptConstruction_MakesAnObjectWithTheTwelveSlots)
{
    const auto getPluginDefinition =
        reinterpret_cast<DzGetPluginDefinitionFunction>(resolve("getPluginDefinition"));
    // The host deletes what scripts constructed when it ends.
    DzApp app;
    dzApp = &app;
    QScriptEngine engine;
    DzPluginControl::classFactories(*getPluginDefinition()).value(0)->registerClass(&engine);

    const QScriptValue object = engine.evaluate(QStringLiteral("new BMPliantClothing()"));
    ASSERT_FALSE(engine.hasUncaughtException()) << engine.uncaughtException().toString().toStdString();
    ASSERT_TRUE(object.isQObject());
    const QMetaObject* meta = object.toQObject()->metaObject();
    EXPECT_STREQ(meta->className(), "BMPliantClothing");
    EXPECT_EQ(meta->methodCount() - meta->methodOffset(), 12);
    EXPECT_TRUE(engine.evaluate(QStringLiteral("typeof new BMPliantClothing().processPliantClothing"))
                    .toString() == QStringLiteral("function"));
    dzApp = nullptr;
}

} // namespace
