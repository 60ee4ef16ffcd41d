#ifndef DZVERSION_H
#define DZVERSION_H

#include "dzcoreexport.h"

#include <QString>

// The version of the SDK that this library implements; plug-ins report the SDK version
// they were built against and the host refuses those it cannot serve.
#define DZ_SDK_VERSION_MAJOR 4
#define DZ_SDK_VERSION_MINOR 5
#define DZ_SDK_VERSION_REV 0
#define DZ_SDK_VERSION_BUILD 100
#define DZ_SDK_VERSION DzVersion(DZ_SDK_VERSION_MAJOR, DZ_SDK_VERSION_MINOR, DZ_SDK_VERSION_REV, DZ_SDK_VERSION_BUILD)

class DZCORE_EXPORT DzVersion {
public:
    DzVersion() = default;
    DzVersion(unsigned short major, unsigned short minor, unsigned short revision, unsigned short build)
        : m_major(major), m_minor(minor), m_revision(revision), m_build(build) {}

    unsigned short getMajor() const { return m_major; }
    unsigned short getMinor() const { return m_minor; }
    unsigned short getRevision() const { return m_revision; }
    unsigned short getBuild() const { return m_build; }

    // "major.minor.revision.build"
    QString toString() const;

    bool operator==(const DzVersion& other) const { return compare(other) == 0; }
    bool operator!=(const DzVersion& other) const { return compare(other) != 0; }
    bool operator<(const DzVersion& other) const { return compare(other) < 0; }
    bool operator<=(const DzVersion& other) const { return compare(other) <= 0; }
    bool operator>(const DzVersion& other) const { return compare(other) > 0; }

private:
    int compare(const DzVersion& other) const;

    unsigned short m_major = 0;
    unsigned short m_minor = 0;
    unsigned short m_revision = 0;
    unsigned short m_build = 0;
};

#endif
