#ifndef DZCONTENTFOLDER_H
#define DZCONTENTFOLDER_H

#include "dzbase.h"

// A content directory (or an import directory) known to the content manager. Its name is
// the directory's path as the user sees it.
class DZCORE_EXPORT DzContentFolder : public DzBase {
    Q_OBJECT
public:
    explicit DzContentFolder(const QString& fullPath, QObject* parent = nullptr);
    ~DzContentFolder() override;

public slots:
    // Absolute, '/' between components, no trailing separator.
    QString getFullPath() const;

private:
    QString m_fullPath;
};

#endif
