#include "dzscripttypes.h"

#include "dzapp.h"
#include "dzappcontrol.h"
#include "dzcontentfolder.h"
#include "dzcontentmgr.h"
#include "dzscene.h"
#include "dzskeleton.h"
#include "dztimer.h"

#include <QScriptEngine>

namespace {

template <class T>
QScriptValue hostObjectToScript(QScriptEngine* engine, T* const& object)
{
    return engine->newQObject(object, QScriptEngine::QtOwnership);
}

template <class T>
void hostObjectFromScript(const QScriptValue& value, T*& object)
{
    object = qobject_cast<T*>(value.toQObject());
}

template <class T>
void registerHostType(QScriptEngine* engine)
{
    qScriptRegisterMetaType<T*>(engine, &hostObjectToScript<T>, &hostObjectFromScript<T>);
}

// `new DzTimer()`: the timer lives until the host ends (a script that drops its last
// reference must not lose a timer it started), and never longer.
QScriptValue constructTimer(QScriptContext* context, QScriptEngine* engine)
{
    if (!context->isCalledAsConstructor())
        return context->throwError(QScriptContext::SyntaxError, QStringLiteral("DzTimer: use new DzTimer()"));
    auto* timer = new DzTimer;
    if (dzApp)
        DzAppControl(*dzApp).keepUntilExit(timer);
    else
        timer->setParent(engine);
    return engine->newQObject(timer, QScriptEngine::QtOwnership);
}

} // namespace

void dzRegisterScriptTypes(QScriptEngine* engine)
{
    registerHostType<DzBase>(engine);
    registerHostType<DzNode>(engine);
    registerHostType<DzSkeleton>(engine);
    registerHostType<DzLight>(engine);
    registerHostType<DzCamera>(engine);
    registerHostType<DzContentFolder>(engine);
    registerHostType<DzContentMgr>(engine);
    registerHostType<DzScene>(engine);
    registerHostType<DzApp>(engine);
    registerHostType<DzTimer>(engine);
    engine->globalObject().setProperty(
        QStringLiteral("DzTimer"),
        engine->newQMetaObject(&DzTimer::staticMetaObject, engine->newFunction(&constructTimer)));
}
