#include "dzcontentmgr.h"

#include "dzapp.h"
#include "dzbasicdialog.h"
#include "dzcontentfolder.h"
#include "dzscene.h"
#include "dzskeleton.h"

#include "dzqtcompat.h"

#include <QDir>
#include <QFile>
#include <QApplication>
#include <QFileInfo>
#include <QLabel>

namespace {

// Content paths may use either separator between components.
QString normalised(const QString& path)
{
    QString result = path;
    result.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return QDir::cleanPath(result);
}

bool isAbsoluteAnywhere(const QString& path)
{
    const bool drive = path.size() >= 2 && path.at(1) == QLatin1Char(':')
        && ((path.at(0) >= QLatin1Char('A') && path.at(0) <= QLatin1Char('Z'))
            || (path.at(0) >= QLatin1Char('a') && path.at(0) <= QLatin1Char('z')));
    return path.startsWith(QLatin1Char('/')) || path.startsWith(QLatin1Char('\\')) || drive;
}

bool isInside(const QString& path, const QString& folder)
{
    return path == folder || path.startsWith(folder + QLatin1Char('/'));
}

void hostLog(const QString& text)
{
    if (dzApp)
        dzApp->log(text);
}

const QString openFailedTitle = QStringLiteral("Open File");
const QString noFileNamed = QStringLiteral("no file was named");
const QString isAFolder = QStringLiteral("it is a folder, not a file");

// A character file is read whole into memory, so only up to a bound: far above any garment
// the conversion server writes, and far below what a path in a reply could make the host
// swallow (any file of the user's content folder, however large).
constexpr qint64 maxCharacterFileBytes = 16 * 1024 * 1024;
const QString tooLarge = QStringLiteral("the file is larger than %1 MiB").arg(maxCharacterFileBytes / (1024 * 1024));

// The host's modal message; needs a widget application (a console one only logs).
void showMessage(const QString& title, const QString& text)
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return;
    DzBasicDialog dialog(nullptr, title);
    auto* label = new QLabel(text);
    label->setTextFormat(Qt::PlainText);
    dialog.addWidget(label);
    dialog.showCancelButton(false);
    dialog.showHelpButton(false);
    dialog.setAcceptButtonText(QObject::tr("OK"));
    dialog.exec();
}

// A Poser character file is a tree of blocks: a keyword line, then "{" ... "}" on lines of
// their own. The loaded figure's name is the first "name" line of the top-level "figure"
// block. Returns false when the text is not such a file; name stays empty when the file
// names no figure.
bool readCharacterFile(const QString& text, QString* name)
{
    const QStringList lines = text.split(QLatin1Char('\n'));
    int depth = 0;
    bool sawRoot = false;
    bool figureNext = false;
    int figureDepth = -1;
    for (const QString& raw : lines) {
        const QString line = raw.trimmed();
        if (line.isEmpty())
            continue;
        if (!sawRoot) {
            if (line != QLatin1String("{"))
                return false;
            sawRoot = true;
            depth = 1;
            continue;
        }
        if (depth == 0)
            return false; // text after the closing brace of the file
        if (line == QLatin1String("{")) {
            ++depth;
            if (figureNext)
                figureDepth = depth;
            figureNext = false;
        } else if (line == QLatin1String("}")) {
            if (depth == figureDepth)
                figureDepth = -1;
            --depth;
        } else {
            figureNext = depth == 1 && line == QLatin1String("figure");
            if (depth == figureDepth && name->isEmpty() && line.startsWith(QLatin1String("name ")))
                *name = line.mid(5).trimmed();
        }
    }
    return sawRoot && depth == 0;
}

// The figure that loaded clothing is fitted to: the one selected figure, if any.
DzSkeleton* selectedFigure()
{
    const QObjectList selected = dzScene->getSelectedNodeList();
    return selected.size() == 1 ? qobject_cast<DzSkeleton*>(selected.first()) : nullptr;
}

// The folders a lookup searches, in the order they were added: the content folders, and
// the import folders too when asked.
QList<DzContentFolder*> searchFolders(const QList<DzContentFolder*>& folders,
                                      const QSet<const DzContentFolder*>& imports,
                                      bool useImportFolders)
{
    QList<DzContentFolder*> searched;
    for (DzContentFolder* folder : folders) {
        if (useImportFolders || !imports.contains(folder))
            searched.append(folder);
    }
    return searched;
}

// Adds a folder for the directory, owned by `owner`; null when the directory does not exist
// or is already known.
DzContentFolder* addFolder(QList<DzContentFolder*>& folders, QObject* owner, const QString& path)
{
    const QFileInfo info(path);
    if (!info.isDir())
        return nullptr;
    const QString fullPath = normalised(info.absoluteFilePath());
    for (const DzContentFolder* folder : folders) {
        if (folder->getFullPath() == fullPath)
            return nullptr;
    }
    folders.append(new DzContentFolder(fullPath, owner));
    return folders.last();
}

// Tells the user, and the host log, that a file cannot be opened, and why.
bool refuseToOpen(const QString& path, const QString& reason)
{
    const QString text = QStringLiteral("Cannot open \"%1\": %2").arg(dzShownValue(path), reason);
    hostLog(text);
    showMessage(openFailedTitle, text);
    return false;
}

} // namespace

DzContentMgr::DzContentMgr(QObject* parent) : QObject(parent) {}

DzContentMgr::~DzContentMgr() = default;

bool DzContentMgr::addContentDirectory(const QString& path)
{
    return addFolder(m_folders, this, path) != nullptr;
}

bool DzContentMgr::addImportDirectory(const QString& path)
{
    DzContentFolder* const folder = addFolder(m_folders, this, path);
    if (folder)
        m_imports.insert(folder);
    return folder != nullptr;
}

int DzContentMgr::getNumContentDirectories() const
{
    return searchFolders(m_folders, m_imports, false).size();
}

DzContentFolder* DzContentMgr::getContentDirectory(int index) const
{
    const QList<DzContentFolder*> folders = searchFolders(m_folders, m_imports, false);
    return index >= 0 && index < folders.size() ? folders.at(index) : nullptr;
}

DzContentFolder* DzContentMgr::findBaseDirectory(const QString& path, bool useImportFolders) const
{
    const QString target = normalised(path);
    if (!isAbsoluteAnywhere(target))
        return nullptr;
    DzContentFolder* best = nullptr;
    for (DzContentFolder* folder : searchFolders(m_folders, m_imports, useImportFolders)) {
        if (isInside(target, folder->getFullPath())
            && (!best || folder->getFullPath().size() > best->getFullPath().size()))
            best = folder;
    }
    return best;
}

QString DzContentMgr::getAbsolutePath(const QString& relativePath, bool useImportFolders,
                                      const QString& preferredPath) const
{
    m_unresolvedPath = relativePath;
    if (relativePath.isEmpty()) {
        m_unresolvedReason = noFileNamed;
        return QString();
    }
    if (isAbsoluteAnywhere(relativePath)) {
        m_unresolvedReason = QStringLiteral("the path is not relative to a content directory");
        return QString();
    }
    const QString relative = normalised(relativePath);
    const QString preferred = preferredPath.isEmpty() ? QString() : normalised(preferredPath);

    QList<DzContentFolder*> order = searchFolders(m_folders, m_imports, useImportFolders);
    for (int i = 0; i < order.size(); ++i) {
        if (!preferred.isEmpty()
            && (order.at(i)->getFullPath() == preferred || order.at(i)->getName() == preferredPath)) {
            order.move(i, 0);
            break;
        }
    }
    m_unresolvedReason = QStringLiteral("no such file in the content directories");
    for (const DzContentFolder* folder : order) {
        const QString base = folder->getFullPath();
        const QString candidate = QDir::cleanPath(base + QLatin1Char('/') + relative);
        if (candidate == base || !isInside(candidate, base)) {
            m_unresolvedReason = QStringLiteral("the path leads out of the content directory");
            continue;
        }
        const QFileInfo info(candidate);
        if (info.isFile()) {
            m_unresolvedPath.clear();
            m_unresolvedReason.clear();
            return candidate;
        }
        if (info.isDir())
            m_unresolvedReason = isAFolder;
    }
    return QString();
}

bool DzContentMgr::openFile(const QString& path, bool merge)
{
    if (path.isEmpty()) {
        if (!m_unresolvedPath.isEmpty())
            return refuseToOpen(m_unresolvedPath, m_unresolvedReason);
        return refuseToOpen(path, noFileNamed);
    }
    if (!dzScene)
        return refuseToOpen(path, QStringLiteral("there is no scene"));
    const QFileInfo info(path);
    if (info.isDir())
        return refuseToOpen(path, isAFolder);
    // A device or a pipe would never end, or never start, the read.
    if (info.exists() && !info.isFile())
        return refuseToOpen(path, QStringLiteral("not a regular file"));
    if (info.suffix().compare(QLatin1String("cr2"), Qt::CaseInsensitive) != 0)
        return refuseToOpen(path, QStringLiteral("not a character file (.cr2)"));
    if (info.size() > maxCharacterFileBytes)
        return refuseToOpen(path, tooLarge);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refuseToOpen(path, file.errorString());
    // The file may have grown since it was looked at.
    const QByteArray bytes = file.read(maxCharacterFileBytes + 1);
    if (bytes.size() > maxCharacterFileBytes)
        return refuseToOpen(path, tooLarge);
    // A character file is text: what follows a NUL byte would never be read, so never checked.
    if (bytes.contains('\0'))
        return refuseToOpen(path, QStringLiteral("the file holds a NUL byte"));
    QString name;
    if (!readCharacterFile(QString::fromUtf8(bytes.constData(), bytes.size()), &name))
        return refuseToOpen(path, QStringLiteral("the file is not a character file"));
    if (name.isEmpty())
        name = info.completeBaseName();

    if (!merge)
        dzScene->clear();
    auto* skeleton = new DzSkeleton(name);
    // Merged clothing is fitted to the figure the user has selected.
    if (merge) {
        if (DzSkeleton* figure = selectedFigure())
            skeleton->setFollowTarget(figure);
    }
    hostLog(QStringLiteral("Loaded \"%1\" from \"%2\"").arg(dzShownValue(name), dzShownValue(path)));
    dzScene->addNode(skeleton);
    return true;
}
