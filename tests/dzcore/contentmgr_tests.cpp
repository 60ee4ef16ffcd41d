#include "dzcontentfolder.h"
#include "dzappcontrol.h"
#include "dzcontentmgr.h"
#include "dzskeleton.h"

#include "hostfixture.h"
#include "signallog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QTemporaryDir>

#include <random>

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath())) << path.toStdString();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(bytes);
}

QString toBackslashes(QString path)
{
    return path.replace(QLatin1Char('/'), QLatin1Char('\\'));
}

bool logMentions(const DzApp& app, const QString& text)
{
    for (const QString& line : DzAppControl(app).logLines()) {
        if (line.contains(text))
            return true;
    }
    return false;
}

// Three content folders: one nested inside another, and a sibling whose name begins with
// the first one's name.
class ContentMgrTest : public HostFixture {
protected:
    void SetUp() override
    {
        HostFixture::SetUp();
        DzAppControl(app()).setDialogMode(DzAppControl::AcceptDialogs);
        ASSERT_TRUE(m_temp.isValid());
        root = QDir(m_temp.path()).absolutePath();
        content = root + QStringLiteral("/content");
        nested = content + QStringLiteral("/nested");
        sibling = root + QStringLiteral("/content2");
        outside = root + QStringLiteral("/outside");
        for (const QString& dir : {content, nested, sibling, outside})
            ASSERT_TRUE(QDir().mkpath(dir));
        mgr = app().getContentMgr();
        ASSERT_NE(mgr, nullptr);
    }

    void addAll()
    {
        ASSERT_TRUE(mgr->addContentDirectory(content));
        ASSERT_TRUE(mgr->addContentDirectory(nested));
        ASSERT_TRUE(mgr->addContentDirectory(sibling));
    }

    QString folderPath(const DzContentFolder* folder) const
    {
        return folder ? folder->getFullPath() : QStringLiteral("<null>");
    }

    QTemporaryDir m_temp;
    QString root, content, nested, sibling, outside;
    DzContentMgr* mgr = nullptr;
};

} // namespace

TEST_F(ContentMgrTest, AddContentDirectory_MissingOrRepeated_Refused)
{
    EXPECT_FALSE(mgr->addContentDirectory(root + QStringLiteral("/missing")));
    EXPECT_TRUE(mgr->addContentDirectory(content));
    EXPECT_FALSE(mgr->addContentDirectory(content + QStringLiteral("/")));
    EXPECT_EQ(mgr->getNumContentDirectories(), 1);
    EXPECT_EQ(mgr->getContentDirectory(0)->getFullPath(), content);
    EXPECT_EQ(mgr->getContentDirectory(1), nullptr);
}

TEST_F(ContentMgrTest, FindBaseDirectory_PicksTheDeepestFolderHoldingThePath)
{
    addAll();
    EXPECT_EQ(folderPath(mgr->findBaseDirectory(nested + QStringLiteral("/Scripts/a.dsa"), true)), nested);
    EXPECT_EQ(folderPath(mgr->findBaseDirectory(content + QStringLiteral("/Scripts/a.dsa"), true)), content);
    // A folder whose name merely starts like another's is not inside it.
    EXPECT_EQ(folderPath(mgr->findBaseDirectory(sibling + QStringLiteral("/a.dsa"), true)), sibling);
    EXPECT_EQ(folderPath(mgr->findBaseDirectory(content, true)), content);
}

TEST_F(ContentMgrTest, FindBaseDirectory_EitherSeparator_SameFolder)
{
    addAll();
    EXPECT_EQ(folderPath(mgr->findBaseDirectory(toBackslashes(nested + QStringLiteral("/Scripts/a.dsa")), true)),
              nested);
    EXPECT_EQ(folderPath(mgr->findBaseDirectory(content + QStringLiteral("\\Scripts\\Sub\\a.dsa"), true)),
              content);
}

TEST_F(ContentMgrTest, FindBaseDirectory_OutsideEveryFolder_Null)
{
    addAll();
    EXPECT_EQ(mgr->findBaseDirectory(outside + QStringLiteral("/a.dsa"), true), nullptr);
    EXPECT_EQ(mgr->findBaseDirectory(root, true), nullptr);
    // Beside a folder, under a name that begins with the folder's name.
    EXPECT_EQ(mgr->findBaseDirectory(root + QStringLiteral("/contentX/a.dsa"), true), nullptr);
    // A path that only looks inside until its ".." is applied.
    EXPECT_EQ(mgr->findBaseDirectory(content + QStringLiteral("/../outside/a.dsa"), true), nullptr);
    // A relative path is held by no folder in particular.
    EXPECT_EQ(mgr->findBaseDirectory(QStringLiteral("Scripts/a.dsa"), true), nullptr);
    EXPECT_EQ(mgr->findBaseDirectory(QString(), true), nullptr);
}

TEST_F(ContentMgrTest, FindBaseDirectory_ImportFolders_OnlyWhenAsked)
{
    ASSERT_TRUE(mgr->addImportDirectory(outside));
    EXPECT_EQ(mgr->findBaseDirectory(outside + QStringLiteral("/a.dsa"), false), nullptr);
    EXPECT_EQ(folderPath(mgr->findBaseDirectory(outside + QStringLiteral("/a.dsa"), true)), outside);
    EXPECT_EQ(mgr->getNumContentDirectories(), 0);
}

TEST_F(ContentMgrTest, GetAbsolutePath_PreferredFolderFirst_ThenTheOthersInOrder)
{
    addAll();
    const QString relative = QStringLiteral("Runtime/Libraries/Shirt.cr2");
    writeFile(content + QLatin1Char('/') + relative, "{\n}\n");
    writeFile(sibling + QLatin1Char('/') + relative, "{\n}\n");

    EXPECT_EQ(mgr->getAbsolutePath(relative, true), content + QLatin1Char('/') + relative);
    EXPECT_EQ(mgr->getAbsolutePath(relative, true, sibling), sibling + QLatin1Char('/') + relative);
    // The preferred folder as content code names it: the folder's name, or its path with a
    // trailing separator.
    const QString siblingName = mgr->findBaseDirectory(sibling, true)->getName();
    EXPECT_EQ(mgr->getAbsolutePath(relative, true, siblingName), sibling + QLatin1Char('/') + relative);
    EXPECT_EQ(mgr->getAbsolutePath(relative, true, sibling + QLatin1Char('/')),
              sibling + QLatin1Char('/') + relative);
    // The file is not in the preferred folder: the others are searched.
    EXPECT_EQ(mgr->getAbsolutePath(relative, true, nested), content + QLatin1Char('/') + relative);
    EXPECT_EQ(mgr->getAbsolutePath(relative, true, outside), content + QLatin1Char('/') + relative);
}

TEST_F(ContentMgrTest, GetAbsolutePath_Backslashes_Found)
{
    addAll();
    writeFile(sibling + QStringLiteral("/Runtime/Libraries/Pliant Clothing/Coat.cr2"), "{\n}\n");
    EXPECT_EQ(mgr->getAbsolutePath(QStringLiteral("Runtime\\Libraries\\Pliant Clothing\\Coat.cr2"), true),
              sibling + QStringLiteral("/Runtime/Libraries/Pliant Clothing/Coat.cr2"));
    EXPECT_EQ(mgr->getAbsolutePath(QStringLiteral("Runtime\\Libraries/Pliant Clothing\\Coat.cr2"), true,
                                   toBackslashes(sibling)),
              sibling + QStringLiteral("/Runtime/Libraries/Pliant Clothing/Coat.cr2"));
}

TEST_F(ContentMgrTest, GetAbsolutePath_NothingFound_Empty)
{
    addAll();
    writeFile(content + QStringLiteral("/Runtime/Shirt.cr2"), "{\n}\n");
    EXPECT_EQ(mgr->getAbsolutePath(QStringLiteral("Runtime/Missing.cr2"), true), QString());
    // A folder is not a file.
    EXPECT_EQ(mgr->getAbsolutePath(QStringLiteral("Runtime"), true), QString());
    EXPECT_EQ(mgr->getAbsolutePath(QString(), true), QString());
    EXPECT_EQ(mgr->getAbsolutePath(QStringLiteral("."), true), QString());
}

TEST_F(ContentMgrTest, GetAbsolutePath_ImportFolders_OnlyWhenAsked)
{
    ASSERT_TRUE(mgr->addImportDirectory(outside));
    writeFile(outside + QStringLiteral("/Shirt.cr2"), "{\n}\n");
    EXPECT_EQ(mgr->getAbsolutePath(QStringLiteral("Shirt.cr2"), false), QString());
    EXPECT_EQ(mgr->getAbsolutePath(QStringLiteral("Shirt.cr2"), true), outside + QStringLiteral("/Shirt.cr2"));
}

TEST_F(ContentMgrTest, GetAbsolutePath_AbsoluteOrClimbingOut_EmptyEvenWhenTheFileExists)
{
    addAll();
    const QString secret = outside + QStringLiteral("/secret.cr2");
    writeFile(secret, "{\n}\n");
    writeFile(content + QStringLiteral("/Runtime/Shirt.cr2"), "{\n}\n");

    EXPECT_EQ(mgr->getAbsolutePath(secret, true), QString());
    EXPECT_EQ(mgr->getAbsolutePath(toBackslashes(secret), true), QString());
    EXPECT_EQ(mgr->getAbsolutePath(QStringLiteral("C:\\content\\Runtime\\Shirt.cr2"), true), QString());
    EXPECT_EQ(mgr->getAbsolutePath(QStringLiteral("../outside/secret.cr2"), true, content), QString());
    EXPECT_EQ(mgr->getAbsolutePath(QStringLiteral("..\\outside\\secret.cr2"), true, content), QString());
    EXPECT_EQ(mgr->getAbsolutePath(QStringLiteral("Runtime/../../outside/secret.cr2"), true), QString());
    EXPECT_EQ(mgr->getAbsolutePath(QStringLiteral("../../outside/secret.cr2"), true, nested), QString());
    // Climbing that stays inside the folder is harmless.
    EXPECT_EQ(mgr->getAbsolutePath(QStringLiteral("Runtime/../Runtime/Shirt.cr2"), true),
              content + QStringLiteral("/Runtime/Shirt.cr2"));
}

namespace {

const QByteArray shirtFile = "{\n"
                             "version\n"
                             "\t{\n"
                             "\tnumber 4.01\n"
                             "\t}\n"
                             "actor BODY:1\n"
                             "\t{\n"
                             "\tname Body Actor\n"
                             "\t}\n"
                             "figure\n"
                             "\t{\n"
                             "\tpieces\n"
                             "\t\t{\n"
                             "\t\tname Nested Piece\n"
                             "\t\t}\n"
                             "\tname Summer Shirt\n"
                             "\tname Second Name\n"
                             "\t}\n"
                             "}\n";

// The largest character file the host opens.
constexpr int maxCr2Bytes = 16 * 1024 * 1024;

class OpenFileTest : public ContentMgrTest {
protected:
    QString write(const QString& name, const QByteArray& bytes)
    {
        const QString path = content + QStringLiteral("/Runtime/") + name;
        writeFile(path, bytes);
        return path;
    }
};

} // namespace

TEST_F(OpenFileTest, Cr2_AddsTheFigureNamedInItsFigureBlock)
{
    SignalLog added(&scene(), &DzScene::skeletonAdded);
    ASSERT_TRUE(mgr->openFile(write(QStringLiteral("shirt.cr2"), shirtFile), true));
    ASSERT_EQ(scene().getNumNodes(), 1);
    auto* loaded = qobject_cast<DzSkeleton*>(scene().getNode(0));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->getName(), QStringLiteral("Summer Shirt"));
    ASSERT_EQ(added.count(), 1);
    EXPECT_EQ(std::get<0>(added.at(0)), loaded);
    EXPECT_TRUE(logMentions(app(), QStringLiteral("shirt.cr2")));

    // As large as a character file may be.
    ASSERT_TRUE(mgr->openFile(write(QStringLiteral("large.cr2"), shirtFile.leftJustified(maxCr2Bytes, ' ')), true));
    EXPECT_EQ(scene().getNumNodes(), 2);
}

TEST_F(OpenFileTest, Cr2WithoutAFigureName_NamedAfterTheFile)
{
    const QByteArray noName = "{\nfigure\n\t{\n\tpieces\n\t\t{\n\t\tname Piece\n\t\t}\n\t}\n}\n";
    ASSERT_TRUE(mgr->openFile(write(QStringLiteral("Wool Coat.CR2"), noName), true));
    ASSERT_EQ(scene().getNumNodes(), 1);
    EXPECT_EQ(scene().getNode(0)->getName(), QStringLiteral("Wool Coat"));

    ASSERT_TRUE(mgr->openFile(write(QStringLiteral("Bare.v2.cr2"), "{\n}\n"), true));
    EXPECT_NE(scene().findNode(QStringLiteral("Bare.v2")), nullptr);

    // The host's own line shows control characters of the name and the path escaped.
    DzAppControl(app()).clearLog();
    ASSERT_TRUE(mgr->openFile(write(QString::fromUtf8("a\u0085b\x1b[31m.cr2"), "{\n}\n"), true));
    EXPECT_TRUE(DzAppControl(app()).logLines().contains(QStringLiteral("Loaded \"a\\x85b\\x1B[31m\" from \"%1/Runtime/a\\x85b\\x1B[31m.cr2\"")
                                              .arg(content)))
        << DzAppControl(app()).logLines().join('\n').toStdString();
}

TEST_F(OpenFileTest, Merge_NewSkeletonFollowsTheSelectedFigureWhenAnnounced)
{
    DzSkeleton* figure = addNode<DzSkeleton>(QStringLiteral("Base Female"), true);
    addNode<DzSkeleton>(QStringLiteral("Other"), false);
    DzSkeleton* targetWhenAnnounced = nullptr;
    QObject::connect(&scene(), &DzScene::skeletonAdded, &scene(),
                     [&](DzSkeleton* skeleton) { targetWhenAnnounced = skeleton->getFollowTarget(); });

    ASSERT_TRUE(mgr->openFile(write(QStringLiteral("shirt.cr2"), shirtFile), true));
    auto* loaded = qobject_cast<DzSkeleton*>(scene().findNode(QStringLiteral("Summer Shirt")));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->getFollowTarget(), figure);
    EXPECT_EQ(targetWhenAnnounced, figure);
    EXPECT_EQ(scene().getNumNodes(), 3);
    EXPECT_FALSE(loaded->isSelected());
}

TEST_F(OpenFileTest, Merge_NoSingleSelectedFigure_FollowsNothing)
{
    const QString path = write(QStringLiteral("shirt.cr2"), shirtFile);
    // Nothing selected.
    addNode<DzSkeleton>(QStringLiteral("A"), false);
    ASSERT_TRUE(mgr->openFile(path, true));
    EXPECT_EQ(qobject_cast<DzSkeleton*>(scene().getNode(1))->getFollowTarget(), nullptr);
    scene().clear();

    // Two figures selected.
    addNode<DzSkeleton>(QStringLiteral("A"), true);
    addNode<DzSkeleton>(QStringLiteral("B"), true);
    ASSERT_TRUE(mgr->openFile(path, true));
    EXPECT_EQ(qobject_cast<DzSkeleton*>(scene().getNode(2))->getFollowTarget(), nullptr);
    scene().clear();

    // A prop selected.
    auto* prop = new DzNode(QStringLiteral("Lamp"));
    prop->select(true);
    scene().addNode(prop);
    ASSERT_TRUE(mgr->openFile(path, true));
    EXPECT_EQ(qobject_cast<DzSkeleton*>(scene().getNode(1))->getFollowTarget(), nullptr);
}

TEST_F(OpenFileTest, NoMerge_ReplacesTheSceneAndFollowsNothing)
{
    QPointer<DzSkeleton> old = addNode<DzSkeleton>(QStringLiteral("Base Female"), true);
    ASSERT_TRUE(mgr->openFile(write(QStringLiteral("shirt.cr2"), shirtFile), false));
    EXPECT_TRUE(old.isNull());
    ASSERT_EQ(scene().getNumNodes(), 1);
    EXPECT_EQ(qobject_cast<DzSkeleton*>(scene().getNode(0))->getFollowTarget(), nullptr);
}

TEST_F(OpenFileTest, Unreadable_FalseWithAReasonAndSceneUnchanged)
{
    addNode<DzSkeleton>(QStringLiteral("Base Female"), true);
    SignalLog added(&scene(), &DzScene::nodeAdded);
    struct Case {
        const char* what;
        QString path;
        QString shown = QString(); // how the messages show the path, when not as it is
        QString reason = QString(); // what the dialog gives as the reason, when it matters
    };
    const Case cases[] = {
        {"missing file", content + QStringLiteral("/Runtime/missing.cr2")},
        // Control characters, C1 ones too (NEL starts a line for many readers), are escaped.
        {"control characters in the name", content + QString::fromUtf8("/Runtime/a\u0085b\x1b[31m\n.cr2"),
         content + QStringLiteral("/Runtime/a\\x85b\\x1B[31m\\x0A.cr2")},
        {"not a cr2", write(QStringLiteral("shirt.obj"), shirtFile)},
        {"no suffix", write(QStringLiteral("shirt"), shirtFile)},
        {"a folder", content + QStringLiteral("/Runtime")},
        {"a folder named like a cr2", [this] {
             QDir().mkpath(content + QStringLiteral("/Runtime/folder.cr2"));
             return content + QStringLiteral("/Runtime/folder.cr2");
         }()},
        {"empty", write(QStringLiteral("empty.cr2"), QByteArray())},
        {"no opening brace", write(QStringLiteral("noroot.cr2"), "figure\n{\nname X\n}\n")},
        {"unclosed", write(QStringLiteral("unclosed.cr2"), "{\nfigure\n\t{\n\tname X\n}\n")},
        {"closed too often", write(QStringLiteral("extra.cr2"), "{\n}\n}\n")},
        {"text after the end", write(QStringLiteral("trailing.cr2"), "{\n}\nfigure\n")},
        {"brace on a keyword line", write(QStringLiteral("inline.cr2"), "{ figure { name X } }\n")},
        // What follows the NUL is checked too: no text file holds one.
        {"a NUL byte, then what is no character file",
         write(QStringLiteral("nul.cr2"), QByteArray("{\n}\n\0figure\n", 12)), QString(),
         QStringLiteral(": the file holds a NUL byte")},
        // A reply may name any file of the content folder; it is not read whole.
        {"far too large", [this] {
             QFile file(write(QStringLiteral("huge.cr2"), shirtFile));
             file.resize(64 * 1024 * 1024);
             return file.fileName();
         }(), QString(), QStringLiteral(": the file is larger than 16 MiB")},
        {"a byte too large", write(QStringLiteral("over.cr2"), shirtFile.leftJustified(maxCr2Bytes + 1, ' ')),
         QString(), QStringLiteral(": the file is larger than 16 MiB")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DzAppControl(app()).clearLog();
        DzAppControl(app()).clearDialogRecords();
        EXPECT_FALSE(mgr->openFile(c.path, true));
        const QString shown = c.shown.isEmpty() ? c.path : c.shown;
        EXPECT_TRUE(logMentions(app(), shown)) << DzAppControl(app()).logLines().join('\n').toStdString();
        // The user is told too: one dialog, naming the file.
        const auto& dialog = DzAppControl(app()).dialogRecords();
        ASSERT_EQ(dialog.size(), 1);
        EXPECT_TRUE(dialog.first().text.contains(shown));
        EXPECT_TRUE(dialog.first().richText.contains(shown));
        EXPECT_TRUE(dialog.first().text.endsWith(c.reason)) << dialog.first().text.toStdString();
    }
    // A lookup that found nothing gives an empty path; opening it names what was looked for.
    for (const QString& relative : {QStringLiteral("Runtime\\missing.cr2"), QStringLiteral("Runtime")}) {
        SCOPED_TRACE(relative.toStdString());
        DzAppControl(app()).clearDialogRecords();
        EXPECT_FALSE(mgr->openFile(mgr->getAbsolutePath(relative, true), true));
        ASSERT_EQ(DzAppControl(app()).dialogRecords().size(), 1);
        EXPECT_TRUE(DzAppControl(app()).dialogRecords().first().text.contains(QStringLiteral("\"%1\"").arg(relative)))
            << DzAppControl(app()).dialogRecords().first().text.toStdString();
    }
    EXPECT_EQ(added.count(), 0);
    EXPECT_EQ(scene().getNumNodes(), 1);
}

TEST_F(OpenFileTest, Garbage_NeverCrashesAndNeverHalfLoads)
{
    // Random text made of the characters the reader cares about, and random bytes.
    std::mt19937 random(20240611);
    const QByteArray alphabet("{}\n\t figurenam\r\0xZ", 18);
    const QString path = content + QStringLiteral("/Runtime/garbage.cr2");
    for (int round = 0; round < 300; ++round) {
        QByteArray bytes;
        const int size = static_cast<int>(random() % 400);
        for (int i = 0; i < size; ++i) {
            bytes.append(round % 2 ? alphabet.at(static_cast<int>(random() % alphabet.size()))
                                   : static_cast<char>(random() % 256));
        }
        writeFile(path, bytes);
        const int before = scene().getNumNodes();
        const bool loaded = mgr->openFile(path, true);
        EXPECT_EQ(scene().getNumNodes(), before + (loaded ? 1 : 0));
    }
}

TEST_F(OpenFileTest, NoScene_FalseWithAReason)
{
    const QString path = write(QStringLiteral("shirt.cr2"), shirtFile);
    dzScene = nullptr;
    EXPECT_FALSE(mgr->openFile(path, true));
    EXPECT_TRUE(logMentions(app(), path));
}

TEST_F(ContentMgrTest, GetAbsolutePath_ClimbingIntoALookalikeNeighbour_Empty)
{
    ASSERT_TRUE(mgr->addContentDirectory(content));
    writeFile(sibling + QStringLiteral("/Runtime/Shirt.cr2"), "{\n}\n");
    EXPECT_EQ(mgr->getAbsolutePath(QStringLiteral("../content2/Runtime/Shirt.cr2"), true), QString());
    EXPECT_EQ(mgr->getAbsolutePath(QStringLiteral("..\\content2\\Runtime\\Shirt.cr2"), true), QString());
}
