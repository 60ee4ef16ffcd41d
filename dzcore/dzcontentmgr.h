#ifndef DZCONTENTMGR_H
#define DZCONTENTMGR_H

#include "dzcoreexport.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

class DzContentFolder;

// The content directories, the lookup of files relative to them, and the opening of
// content files into the scene.
class DZCORE_EXPORT DzContentMgr : public QObject {
    Q_OBJECT
public:
    explicit DzContentMgr(QObject* parent = nullptr);
    ~DzContentMgr() override;

public slots:
    // False when the directory does not exist or is already known.
    bool addContentDirectory(const QString& path);
    bool addImportDirectory(const QString& path);
    int getNumContentDirectories() const;
    DzContentFolder* getContentDirectory(int index) const;

    // The content folder that holds the path (the deepest one), or null.
    DzContentFolder* findBaseDirectory(const QString& path, bool useImportFolders) const;
    // The absolute path of an existing file given relative to a content directory ('\' or
    // '/' between components). The folder named by preferredPath (its name or path) is
    // tried first, then the others in order. Empty when nothing is found, and for a path
    // that is absolute or climbs out of its folder.
    QString getAbsolutePath(const QString& relativePath, bool useImportFolders,
                            const QString& preferredPath = QString()) const;
    // Opens a Poser character file (.cr2) into the scene: the loaded figure becomes a new
    // skeleton, which follows the selected figure when merging. False when the file is
    // missing or not understood; the user is then told in a dialog naming the file and the
    // reason, and the host log gets the same text. An empty path, as getAbsolutePath()
    // gives for a file it did not find, is reported under the name that was looked up.
    bool openFile(const QString& path, bool merge = true);

private:
    QList<DzContentFolder*> m_folders;      // content and import folders, in the order added
    QSet<const DzContentFolder*> m_imports; // which of them are import folders
    // The last getAbsolutePath() that found nothing: what was asked for and why it failed.
    mutable QString m_unresolvedPath;
    mutable QString m_unresolvedReason;
};

#endif
