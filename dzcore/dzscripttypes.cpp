#include "dzscripttypes.h"

#include "dzapp.h"
#include "dzcontentfolder.h"
#include "dzcontentmgr.h"
#include "dzscene.h"
#include "dzskeleton.h"

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
}
