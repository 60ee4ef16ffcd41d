#include "scripthost.h"

#include "dzapp.h"
#include "dzscene.h"
#include "dzscripttypes.h"
#include "hostqtcompat.h"
#include "pluginloader.h"

#include <QFile>
#include <QFileInfo>
#include <QScriptEngine>
#include <QScriptValueIterator>
#include <QTimer>

namespace {

// print(...) writes its arguments, separated by blanks, into the host log.
QScriptValue print(QScriptContext* context, QScriptEngine* engine)
{
    QStringList parts;
    for (int i = 0; i < context->argumentCount(); ++i)
        parts.append(context->argument(i).toString());
    if (dzApp)
        dzApp->log(parts.join(QStringLiteral(" ")));
    return engine->undefinedValue();
}

// An error in script code that runs from a timer or a signal, outside the script's own
// evaluation, goes to the host log; it does not become the running script's error. The
// handler may run while the script waits in a call (a plug-in's slot turning the event
// loop), so the engine forgets the error before that call returns to the script.
void logScriptError(QScriptEngine* engine, const QScriptValue& error)
{
    if (dzApp)
        dzApp->log(QStringLiteral("Script error in a timer or signal handler: ") + error.toString());
    engine->clearExceptions();
}

// setTimeout(function, msec): calls the function once, msec from now, the next time the
// host handles its events (which it also does in the middle of long work).
QScriptValue setTimeout(QScriptContext* context, QScriptEngine* engine)
{
    QScriptValue function = context->argument(0);
    if (!function.isFunction())
        return context->throwError(QScriptContext::TypeError,
                                   QStringLiteral("setTimeout: the first argument must be a function"));
    auto* timer = new QTimer(engine);
    timer->setSingleShot(true);
    dzConnectCall(timer, SIGNAL(timeout()), engine, [engine, function, timer]() mutable {
        timer->deleteLater();
        const QScriptValue result = function.call();
        if (result.isError())
            logScriptError(engine, result);
    });
    timer->start(qMax(0, context->argument(1).toInt32()));
    return engine->undefinedValue();
}

// Functions whose answer was fixed when the engine was prepared keep it in their data.
QScriptValue calleeData(QScriptContext* context, QScriptEngine*)
{
    return context->callee().data();
}

QScriptValue makeConstantFunction(QScriptEngine* engine, const QScriptValue& value)
{
    QScriptValue function = engine->newFunction(&calleeData, 0);
    function.setData(value);
    return function;
}

} // namespace

void ScriptHost::prepareEngine(QScriptEngine* engine, const QString& scriptFileName,
                               const QStringList& arguments) const
{
    dzRegisterScriptTypes(engine);
    QScriptValue global = engine->globalObject();
    global.setProperty(QStringLiteral("App"), engine->newQObject(dzApp));
    global.setProperty(QStringLiteral("Scene"), engine->newQObject(dzScene));
    global.setProperty(QStringLiteral("print"), engine->newFunction(&print));
    global.setProperty(QStringLiteral("setTimeout"), engine->newFunction(&setTimeout, 2));
    dzConnectCall(engine, SIGNAL(signalHandlerException(QScriptValue)), engine,
                  [engine] { logScriptError(engine, engine->uncaughtException()); });
    global.setProperty(QStringLiteral("getScriptFileName"),
                       makeConstantFunction(engine, QScriptValue(scriptFileName)));
    QScriptValue argumentArray = engine->newArray(static_cast<uint>(arguments.size()));
    for (int i = 0; i < arguments.size(); ++i)
        argumentArray.setProperty(static_cast<quint32>(i), QScriptValue(arguments.at(i)));
    global.setProperty(QStringLiteral("getScriptArguments"),
                       makeConstantFunction(engine, argumentArray));
    m_plugins.registerClasses(engine);
}

bool ScriptHost::runFile(const QString& fileName, const QStringList& arguments, QString* error) const
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        *error = QStringLiteral("%1: %2").arg(fileName, file.errorString());
        return false;
    }
    const QString program = QString::fromUtf8(file.readAll());
    const QString absolute = QFileInfo(fileName).absoluteFilePath();

    QScriptEngine engine;
    prepareEngine(&engine, absolute, arguments);
    engine.evaluate(program, absolute);
    if (engine.hasUncaughtException()) {
        *error = QStringLiteral("%1:%2: %3")
                     .arg(absolute)
                     .arg(engine.uncaughtExceptionLineNumber())
                     .arg(engine.uncaughtException().toString());
        return false;
    }
    return true;
}
