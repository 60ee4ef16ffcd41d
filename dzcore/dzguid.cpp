#include "dzguid.h"

DzGuid DzGuid::fromString(const QString& text)
{
    // QUuid overlooks a missing closing brace and anything after the identifier; a class
    // identifier is exactly the bare or the braced form.
    constexpr int bareLength = 36;
    QString bare = text.trimmed();
    if (bare.size() == bareLength + 2 && bare.startsWith(QLatin1Char('{'))
        && bare.endsWith(QLatin1Char('}')))
        bare = bare.mid(1, bareLength);
    DzGuid guid;
    if (bare.size() == bareLength)
        guid.m_uuid = QUuid(QLatin1Char('{') + bare + QLatin1Char('}'));
    return guid;
}

QString DzGuid::toString() const
{
    QString text = m_uuid.toString().toUpper();
    return text.mid(1, text.size() - 2);
}
