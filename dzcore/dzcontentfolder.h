#ifndef DZCONTENTFOLDER_H
#define DZCONTENTFOLDER_H

#include "dzbase.h"

// A content directory (or an import directory) known to the content manager. Its name is
// the directory's path as the user sees it.
class DZCORE_EXPORT DzContentFolder : public DzBase {
    Q_OBJECT
public:
    explicit DzContentFolder(const QString& fullPath, bool isImportFolder = false,
                             QObject* parent = nullptr);
    ~DzContentFolder() override;

public slots:
    // Absolute, '/' between components, no trailing separator.
    QString getFullPath() const;
    bool isImportFolder() const;

private:
    QString m_fullPath;
    bool m_isImportFolder;
};

#endif
