#include "dzguid.h"

DzGuid DzGuid::fromString(const QString& text)
{
    QString braced = text.trimmed();
    if (!braced.startsWith(QLatin1Char('{')))
        braced = QLatin1Char('{') + braced + QLatin1Char('}');
    DzGuid guid;
    guid.m_uuid = QUuid(braced);
    return guid;
}

QString DzGuid::toString() const
{
    QString text = m_uuid.toString().toUpper();
    return text.mid(1, text.size() - 2);
}
