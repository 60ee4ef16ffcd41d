#include "dzbase.h"

DzBase::DzBase(QObject* parent) : QObject(parent) {}

DzBase::~DzBase() = default;

QString DzBase::getName() const
{
    return objectName();
}

void DzBase::setName(const QString& name)
{
    setObjectName(name);
}

bool DzBase::iskindof(const QString& className)
{
    return inherits(className.toLatin1().constData());
}
