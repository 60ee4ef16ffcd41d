#include "dzversion.h"
#include "dzqtcompat.h"

QString DzVersion::toString() const
{
    return QStringLiteral("%1.%2.%3.%4").arg(m_major).arg(m_minor).arg(m_revision).arg(m_build);
}

int DzVersion::compare(const DzVersion& other) const
{
    const unsigned short mine[] = {m_major, m_minor, m_revision, m_build};
    const unsigned short theirs[] = {other.m_major, other.m_minor, other.m_revision, other.m_build};
    for (int i = 0; i < 4; ++i) {
        if (mine[i] != theirs[i])
            return mine[i] < theirs[i] ? -1 : 1;
    }
    return 0;
}
