#ifndef DZGUID_H
#define DZGUID_H

#include "dzcoreexport.h"

#include <QString>
#include <QUuid>

// A class identifier. Parsed from its text, with or without the surrounding braces.
class DZCORE_EXPORT DzGuid {
public:
    DzGuid() = default;

    // An invalid (null) identifier when the text is not a GUID.
    static DzGuid fromString(const QString& text);

    bool isNull() const { return m_uuid.isNull(); }
    // Upper-case hexadecimal, no braces: "78494DDE-5300-4CC9-A1D1-001ECDE80AA3".
    QString toString() const;

    bool operator==(const DzGuid& other) const { return m_uuid == other.m_uuid; }
    bool operator!=(const DzGuid& other) const { return m_uuid != other.m_uuid; }

private:
    QUuid m_uuid;
};

#endif
