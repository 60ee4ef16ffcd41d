#include "dzapp.h"
#include "dzappcontrol.h"
#include "dzplugin.h"
#include "dzplugincontrol.h"
#include "garbwright.h"
#include "testqtcompat.h"

#include <QMetaMethod>
#include <QPointer>
#include <QScriptEngine>

#include <gtest/gtest.h>

// With the linkage the SDK's definition macro gives it: C++ on Windows, C elsewhere.
#if defined(_WIN32)
DzPlugin* getPluginDefinition();
#else
extern "C" DzPlugin* getPluginDefinition();
#endif

// The module declares it where it defines its factory; Qt 4 needs it seen here too.
DZ_DECLARE_OBJECT_POINTER(BMPliantClothing)

namespace {

const DzClassFactory* factory()
{
    return DzPluginControl::classFactories(*getPluginDefinition()).value(0);
}

int pointerTypeId()
{
    return QMetaType::type("BMPliantClothing*");
}

// Registration as the host does it: the host deletes what scripts constructed when it ends.
class Registration : public ::testing::Test {
protected:
    void SetUp() override { dzApp = &m_app; }
    void TearDown() override { dzApp = nullptr; }

    DzApp m_app;
};

TEST_F(Registration, TwoEngines_EachGetsTheConstructorAndTheTypeIsRegisteredOnce)
{
    QScriptEngine first;
    QScriptEngine second;
    factory()->registerClass(&first);
    const int idAfterFirst = pointerTypeId();
    factory()->registerClass(&second);

    EXPECT_NE(idAfterFirst, unknownMetaTypeId);
    EXPECT_EQ(pointerTypeId(), idAfterFirst);
    EXPECT_EQ(DzTCustomClassFactory<BMPliantClothing>::pointerTypeId(), idAfterFirst);

    for (QScriptEngine* engine : {&first, &second}) {
        const QScriptValue made = engine->evaluate(QStringLiteral("new BMPliantClothing()"));
        ASSERT_FALSE(engine->hasUncaughtException());
        EXPECT_NE(qobject_cast<BMPliantClothing*>(made.toQObject()), nullptr);
    }
}

TEST_F(Registration, ExistingGlobalProperty_KeepsItsFlags)
{
    QScriptEngine engine;
    // The engine's built-in global object ignores property flags; a plain one keeps them.
    engine.setGlobalObject(engine.newObject());
    engine.globalObject().setProperty(QStringLiteral("BMPliantClothing"), QScriptValue(1),
                                      QScriptValue::SkipInEnumeration);
    factory()->registerClass(&engine);

    const QScriptValue global = engine.globalObject();
    EXPECT_TRUE(global.propertyFlags(QStringLiteral("BMPliantClothing")) & QScriptValue::SkipInEnumeration);
    EXPECT_TRUE(global.property(QStringLiteral("BMPliantClothing")).isQMetaObject());
}

TEST_F(Registration, ScriptValueHoldingAnotherObject_ConvertsToNull)
{
    QScriptEngine engine;
    factory()->registerClass(&engine);

    QObject other;
    EXPECT_EQ(qscriptvalue_cast<BMPliantClothing*>(engine.newQObject(&other)), nullptr);
    EXPECT_EQ(qscriptvalue_cast<BMPliantClothing*>(QScriptValue(42)), nullptr);

    BMPliantClothing clothing;
    const QScriptValue wrapped = engine.toScriptValue(&clothing);
    EXPECT_EQ(qscriptvalue_cast<BMPliantClothing*>(wrapped), &clothing);
}

TEST_F(Registration, ScriptMadeObject_SurvivesGarbageCollection)
{
    QPointer<QObject> made;
    {
        QScriptEngine engine;
        factory()->registerClass(&engine);
        made = engine.evaluate(QStringLiteral("new BMPliantClothing()")).toQObject();
        ASSERT_FALSE(made.isNull());
        engine.evaluate(QStringLiteral("gc = null;"));
        engine.collectGarbage();
        EXPECT_FALSE(made.isNull());
    }
    // Not even the engine's end deletes it: nobody in the module owns it.
    EXPECT_FALSE(made.isNull());
}

TEST_F(Registration, ScriptConstructionWithArguments_StillMakesTheObject)
{
    QScriptEngine engine;
    factory()->registerClass(&engine);
    const QScriptValue made = engine.evaluate(QStringLiteral("new BMPliantClothing(1, 'two')"));
    ASSERT_FALSE(engine.hasUncaughtException());
    EXPECT_NE(qobject_cast<BMPliantClothing*>(made.toQObject()), nullptr);
}

TEST(MetaObject, ListsExactlyTheTwelveSlotsInOrder)
{
    const QMetaObject& meta = BMPliantClothing::staticMetaObject;
    EXPECT_STREQ(meta.className(), "BMPliantClothing");
    EXPECT_EQ(meta.superClass(), &QObject::staticMetaObject);
    EXPECT_EQ(meta.propertyCount(), meta.propertyOffset());
    EXPECT_EQ(meta.enumeratorCount(), meta.enumeratorOffset());
    EXPECT_EQ(meta.classInfoCount(), meta.classInfoOffset());

    struct Expected {
        const char* signature;
        QList<QByteArray> parameterNames;
        const char* returnType;
    };
    const Expected expected[] = {
        {"processPliantClothing(QString,QString,QString)", {"vendor", "clothing", "scriptPath"}, "void"},
        {"startServer()", {}, "void"},
        {"stopServer()", {}, "void"},
        {"serverStatus()", {}, "QString"},
        {"isServerRunning()", {}, "bool"},
        {"tfInstallDir()", {}, "QString"},
        {"getSelectedFigure()", {}, "DzSkeleton*"},
        {"figureGeomPath()", {}, "QString"},
        {"clothingLoaded(DzSkeleton*)", {"clothing"}, "void"},
        {"clothingConformTargetChanged(DzSkeleton*)", {"clothing"}, "void"},
        {"displayError(QString,bool)", {"msg", "needsConfirmation"}, "int"},
        {"displayError(QString)", {"msg"}, "int"},
    };
    ASSERT_EQ(meta.methodCount() - meta.methodOffset(), 12);
    for (int i = 0; i < 12; ++i) {
        const QMetaMethod method = meta.method(meta.methodOffset() + i);
        SCOPED_TRACE(expected[i].signature);
        EXPECT_EQ(methodSignature(method), QByteArray(expected[i].signature));
        EXPECT_EQ(method.parameterNames(), expected[i].parameterNames);
        EXPECT_EQ(returnTypeName(method), QByteArray(expected[i].returnType));
        EXPECT_EQ(method.methodType(), QMetaMethod::Slot);
        EXPECT_EQ(method.access(), QMetaMethod::Public);
        EXPECT_EQ(bool(method.attributes() & QMetaMethod::Cloned), i == 11);
    }
}

TEST(MetaObject, MetacastAnswersForTheClassAndItsBase)
{
    BMPliantClothing clothing;
    EXPECT_EQ(clothing.qt_metacast("BMPliantClothing"), &clothing);
    EXPECT_EQ(clothing.qt_metacast("QObject"), &clothing);
    EXPECT_EQ(clothing.qt_metacast("DzSkeleton"), nullptr);
    EXPECT_EQ(clothing.qt_metacast(nullptr), nullptr);
}

TEST(MetaObject, InvocationWithoutAResultPlace_StillRunsTheSlot)
{
    DzApp app;
    dzApp = &app;
    DzAppControl(app).setDialogMode(DzAppControl::AcceptDialogs);
    BMPliantClothing clothing;

    // The one-argument form is the two-argument slot with needsConfirmation false.
    const int oneArgument = clothing.metaObject()->indexOfMethod("displayError(QString)");
    QString message = QStringLiteral("no place");
    void* args[] = {nullptr, &message};
    clothing.qt_metacall(QMetaObject::InvokeMetaMethod, oneArgument, args);

    int result = -1;
    ASSERT_TRUE(QMetaObject::invokeMethod(&clothing, "displayError", Q_RETURN_ARG(int, result),
                                          Q_ARG(QString, QStringLiteral("with place"))));
    EXPECT_EQ(result, 1);

    const QList<DzDialogRecord> dialogs = DzAppControl(app).dialogRecords();
    ASSERT_EQ(dialogs.size(), 2);
    EXPECT_EQ(dialogs.at(0).text, QStringLiteral("no place"));
    EXPECT_FALSE(dialogs.at(0).cancelShown);
    EXPECT_FALSE(dialogs.at(1).cancelShown);
    dzApp = nullptr;
}

} // namespace
