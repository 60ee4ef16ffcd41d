#ifndef DZBASE_H
#define DZBASE_H

#include "dzcoreexport.h"

#include <QObject>
#include <QString>

// Base of the host's named objects: a name, and a class test that scripts can ask.
class DZCORE_EXPORT DzBase : public QObject {
    Q_OBJECT
public:
    explicit DzBase(QObject* parent = nullptr);
    ~DzBase() override;

public slots:
    QString getName() const;
    void setName(const QString& name);
    // True when this object is of the named class or derives from it.
    bool iskindof(const QString& className);
};

#endif
