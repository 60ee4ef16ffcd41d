#ifndef DZCLASSFACTORY_H
#define DZCLASSFACTORY_H

#include "dzcoreexport.h"
#include "dzguid.h"

#include <QByteArray>
#include <QMetaType>
#include <QObject>
#include <QScriptContext>
#include <QScriptEngine>
#include <QScriptValue>
#include <QString>
#include <QVariantList>

// Makes the objects of one class, and makes the class known to the host's script engines.
class DZCORE_EXPORT DzClassFactory {
public:
    DzClassFactory(const QMetaObject* metaObject, const DzGuid& classID);
    virtual ~DzClassFactory();

    // A new object for a script construction; the script's arguments, if any, are passed
    // on to the argument overload.
    virtual QObject* createInstance(QScriptContext* context) const;
    virtual QObject* createInstance() const = 0;
    virtual QObject* createInstance(const QVariantList& args) const = 0;
    // Called by the host for each script engine it prepares.
    virtual void registerClass(QScriptEngine* engine) const;

    const QMetaObject* metaObject() const;
    const char* className() const;
    DzGuid classID() const;

    // Adds the keys of the class's enumerations to a script value, so that scripts can
    // write Class.Key.
    static void registerEnumsOnClass(QScriptEngine* engine, const QMetaObject* metaObject,
                                     QScriptValue& value);

private:
    DzClassFactory(const DzClassFactory&) = delete;
    DzClassFactory& operator=(const DzClassFactory&) = delete;

    const QMetaObject* m_metaObject;
    DzGuid m_classID;
};

// The script glue for a class T: a global constructor, and conversions between script
// values and T*. One factory per class and module.
template <class T>
class DzTCustomClassFactory : public DzClassFactory {
public:
    explicit DzTCustomClassFactory(const DzGuid& classID,
                                   QScriptEngine::ValueOwnership ownership = QScriptEngine::QtOwnership)
        : DzClassFactory(&T::staticMetaObject, classID), m_ownership(ownership)
    {
        s_factory = this;
    }
    ~DzTCustomClassFactory() override
    {
        if (s_factory == this)
            s_factory = nullptr;
    }

    void registerClass(QScriptEngine* engine) const override
    {
        DzClassFactory::registerClass(engine);
        // The meta-type is process-wide; register it once, however many engines follow.
        if (s_pointerTypeId == 0) {
            const QByteArray typeName = QByteArray(T::staticMetaObject.className()) + '*';
            s_pointerTypeId = qRegisterMetaType<T*>(typeName.constData());
        }
        qScriptRegisterMetaType_helper(engine, s_pointerTypeId, &toScriptValue, &fromScriptValue,
                                       QScriptValue());
        const QScriptValue constructor = engine->newFunction(&construct, 0);
        const QScriptValue classValue = engine->newQMetaObject(metaObject(), constructor);
        // className() is a C string, turned into the property's name implicitly as the host
        // SDK's template does: a module that includes this header cannot be built with
        // QT_NO_CAST_FROM_ASCII, as it cannot against the SDK.
        engine->globalObject().setProperty(className(), classValue, QScriptValue::KeepExistingFlags);
    }

    QScriptEngine::ValueOwnership ownership() const { return m_ownership; }
    // The meta-type id of T*; 0 until the first registration.
    static int pointerTypeId() { return s_pointerTypeId; }

protected:
    void setOwnership(QScriptEngine::ValueOwnership ownership) { m_ownership = ownership; }

private:
    static QScriptValue toScriptValue(QScriptEngine* engine, const void* source)
    {
        T* object = *static_cast<T* const*>(source);
        QScriptValue value = engine->newQObject(object, QScriptEngine::QtOwnership);
        registerEnumsOnClass(engine, &T::staticMetaObject, value);
        return value;
    }

    static void fromScriptValue(const QScriptValue& value, void* target)
    {
        *static_cast<T**>(target) = qobject_cast<T*>(value.toQObject());
    }

    static QScriptValue construct(QScriptContext* context, QScriptEngine* engine)
    {
        if (!s_factory)
            return QScriptValue();
        // The script engine is C code underneath: a failure must reach the script as a
        // script error, never as a C++ exception unwinding through the engine.
        try {
            QObject* object = s_factory->createInstance(context);
            QScriptValue wrapper = engine->newQObject(object, s_factory->m_ownership);
            registerEnumsOnClass(engine, &T::staticMetaObject, wrapper);
            return wrapper;
        } catch (...) {
            return context->throwError(QString::fromLatin1("%1: construction failed")
                                           .arg(QLatin1String(T::staticMetaObject.className())));
        }
    }

    QScriptEngine::ValueOwnership m_ownership;
    static const DzTCustomClassFactory* s_factory;
    static int s_pointerTypeId;
};

template <class T>
const DzTCustomClassFactory<T>* DzTCustomClassFactory<T>::s_factory = nullptr;
template <class T>
int DzTCustomClassFactory<T>::s_pointerTypeId = 0;

// A factory for a class with a default constructor.
template <class T>
class DzTClassFactory : public DzTCustomClassFactory<T> {
public:
    explicit DzTClassFactory(const DzGuid& classID,
                             QScriptEngine::ValueOwnership ownership = QScriptEngine::QtOwnership)
        : DzTCustomClassFactory<T>(classID, ownership) {}

    using DzTCustomClassFactory<T>::createInstance;
    QObject* createInstance() const override { return new T; }
    QObject* createInstance(const QVariantList&) const override { return createInstance(); }
};

#endif
