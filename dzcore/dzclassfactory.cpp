#include "dzclassfactory.h"

#include "dzapp.h"
#include "dzappcontrol.h"

#include <QMetaEnum>

DzClassFactory::DzClassFactory(const QMetaObject* metaObject, const DzGuid& classID)
    : m_metaObject(metaObject), m_classID(classID) {}

DzClassFactory::~DzClassFactory() = default;

QObject* DzClassFactory::createInstance(QScriptContext* context) const
{
    QObject* object;
    if (!context || context->argumentCount() == 0) {
        object = createInstance();
    } else {
        QVariantList args;
        for (int i = 0; i < context->argumentCount(); ++i)
            args.append(context->argument(i).toVariant());
        object = createInstance(args);
    }
    if (dzApp && object && !object->parent())
        DzAppControl(*dzApp).keepUntilExit(object);
    return object;
}

void DzClassFactory::registerClass(QScriptEngine*) const
{
    // A class without script glue of its own needs nothing from the engine; the templates
    // install the constructor and conversions.
}

const QMetaObject* DzClassFactory::metaObject() const
{
    return m_metaObject;
}

const char* DzClassFactory::className() const
{
    return m_metaObject->className();
}

DzGuid DzClassFactory::classID() const
{
    return m_classID;
}

void DzClassFactory::registerEnumsOnClass(QScriptEngine*, const QMetaObject* metaObject,
                                          QScriptValue& value)
{
    if (!metaObject || !value.isObject())
        return;
    for (int i = metaObject->enumeratorOffset(); i < metaObject->enumeratorCount(); ++i) {
        const QMetaEnum enumerator = metaObject->enumerator(i);
        for (int k = 0; k < enumerator.keyCount(); ++k) {
            value.setProperty(QString::fromLatin1(enumerator.key(k)), enumerator.value(k),
                              QScriptValue::ReadOnly | QScriptValue::Undeletable);
        }
    }
}
