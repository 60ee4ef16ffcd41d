#include "scenefile.h"

#include "dzscene.h"
#include "dzskeleton.h"
#include "testqtcompat.h"

#include <gtest/gtest.h>

#include <QFile>

namespace {

class SceneFileTest : public ::testing::Test {
protected:
    DzScene scene;
    QString error;

    DzSkeleton* figure(const char* name) const
    {
        return qobject_cast<DzSkeleton*>(scene.findNode(QString::fromUtf8(name)));
    }
};

QByteArray propsScene(int count)
{
    QByteArray json = "{\"nodes\": [";
    for (int i = 0; i < count; ++i)
        json += (i ? ",{\"name\":\"" : "{\"name\":\"") + QByteArray::number(i) + "\"}";
    return json + "]}";
}

// As deep as Qt 5's JSON parser lets a document nest, the document itself the first level.
constexpr int maxJsonNesting = 1024;

// A scene whose document is nested `depth` levels deep.
QByteArray nestedScene(int depth)
{
    return "{\"nodes\": [], \"more\": " + QByteArray(depth - 1, '[') + QByteArray(depth - 1, ']') + "}";
}

} // namespace

TEST_F(SceneFileTest, ValidScene_NodesInOrderWithKindsSelectionAndFollows)
{
    // The shirt names its figure before the figure appears.
    const QByteArray json = R"({"nodes": [
        {"name": "Shirt", "kind": "figure", "follows": "Base Female"},
        {"name": "Base Female", "kind": "figure", "selected": true},
        {"name": "Lamp", "kind": "prop", "selected": false},
        {"name": "Sun", "kind": "light"},
        {"name": "Cam", "kind": "camera", "selected": true},
        {"name": "Stool"},
        {"name": "Hat", "kind": "figure", "follows": "Shirt"}]})";
    ASSERT_TRUE(loadSceneJson(json, &scene, &error)) << error.toStdString();

    ASSERT_EQ(scene.getNumNodes(), 7);
    const char* order[] = {"Shirt", "Base Female", "Lamp", "Sun", "Cam", "Stool", "Hat"};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(scene.getNode(i)->getName(), QString::fromUtf8(order[i]));

    ASSERT_NE(figure("Base Female"), nullptr);
    ASSERT_NE(figure("Shirt"), nullptr);
    EXPECT_EQ(figure("Shirt")->getFollowTarget(), figure("Base Female"));
    EXPECT_EQ(figure("Hat")->getFollowTarget(), figure("Shirt"));
    EXPECT_EQ(figure("Base Female")->getFollowTarget(), nullptr);
    EXPECT_EQ(figure("Lamp"), nullptr);
    EXPECT_FALSE(scene.findNode(QStringLiteral("Lamp"))->iskindof(QStringLiteral("DzSkeleton")));
    EXPECT_TRUE(scene.findNode(QStringLiteral("Sun"))->iskindof(QStringLiteral("DzLight")));
    EXPECT_TRUE(scene.findNode(QStringLiteral("Cam"))->iskindof(QStringLiteral("DzCamera")));
    EXPECT_FALSE(scene.findNode(QStringLiteral("Stool"))->iskindof(QStringLiteral("DzSkeleton")));

    const QObjectList selected = scene.getSelectedNodeList();
    ASSERT_EQ(selected.size(), 2);
    EXPECT_EQ(selected.at(0), figure("Base Female"));
    EXPECT_EQ(selected.at(1), scene.findNode(QStringLiteral("Cam")));
}

TEST_F(SceneFileTest, EmptyNodeList_EmptyScene)
{
    ASSERT_TRUE(loadSceneJson(R"({"nodes": []})", &scene, &error)) << error.toStdString();
    EXPECT_EQ(scene.getNumNodes(), 0);
}

TEST_F(SceneFileTest, BadScene_OneLineReasonAndSceneUnchanged)
{
    struct Case {
        const char* what;
        QByteArray json;
    };
    const Case cases[] = {
        {"not JSON", "{\"nodes\": [ {\"name\": \"A\" ]"},
        {"empty text", ""},
        {"a list, not an object", R"([{"name": "A"}])"},
        {"no nodes", R"({"node": []})"},
        {"nodes not a list", R"({"nodes": {"name": "A"}})"},
        {"node not an object", R"({"nodes": ["A"]})"},
        {"no name", R"({"nodes": [{"kind": "figure"}]})"},
        {"empty name", R"({"nodes": [{"name": ""}]})"},
        {"name not text", R"({"nodes": [{"name": 7}]})"},
        {"duplicate name", R"({"nodes": [{"name": "A", "kind": "figure"}, {"name": "B"}, {"name": "A"}]})"},
        {"unknown kind", R"({"nodes": [{"name": "A", "kind": "robot"}]})"},
        {"kind not text", R"({"nodes": [{"name": "A", "kind": 1}]})"},
        {"kind in other case", R"({"nodes": [{"name": "A", "kind": "Figure"}]})"},
        {"selected not a boolean", R"({"nodes": [{"name": "A", "selected": "yes"}]})"},
        {"follows not text", R"({"nodes": [{"name": "A", "kind": "figure", "follows": 1}]})"},
        {"follows a prop", R"({"nodes": [{"name": "A", "kind": "figure", "follows": "P"}, {"name": "P"}]})"},
        {"follows an unknown node", R"({"nodes": [{"name": "A", "kind": "figure", "follows": "Ghost"}]})"},
        {"follows itself", R"({"nodes": [{"name": "A", "kind": "figure", "follows": "A"}]})"},
        {"a prop follows", R"({"nodes": [{"name": "F", "kind": "figure"}, {"name": "P", "follows": "F"}]})"},
        {"more nodes than a scene may hold", propsScene(maxSceneNodes + 1)},
        // What either Qt's reader would take differently is refused before either reads it.
        {"a NUL byte, then what is not JSON", QByteArray("{\"nodes\": []}\0 not JSON", 23)},
        {"more items than a scene may hold", "{\"nodes\": [], \"x\": [" + QByteArray("[],").repeated(maxSceneItems / 2) + "[]]}"},
        {"bytes that are not UTF-8", "{\"nodes\": [{\"name\": \"Caf\xe9\"}]}"},
        // A name from the file is shown as data: no forged line, no terminal codes.
        {"a name used twice, holding a line feed and an escape",
         R"({"nodes": [{"name": "A\n\u001b[2J"}, {"name": "A\n\u001b[2J"}]})"},
        {"follows a name holding a line feed",
         R"({"nodes": [{"name": "A", "kind": "figure", "follows": "B\nnode 2: forged"}]})"},
        {"nested deeper than a document may be", nestedScene(maxJsonNesting + 1)},
        // Every node before the faulty one is fine: none of them may stay behind.
        {"fault after good nodes", R"({"nodes": [{"name": "F", "kind": "figure", "selected": true},
                                                  {"name": "G", "kind": "figure", "follows": "F"},
                                                  {"name": "H", "kind": "figure", "follows": "Nope"}]})"},
    };

    auto* existing = new DzSkeleton(QStringLiteral("Existing"));
    existing->select(true);
    scene.addNode(existing);
    int added = 0;
    dzConnectCall(&scene, SIGNAL(nodeAdded(DzNode*)), &scene, [&added] { ++added; });

    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        error.clear();
        EXPECT_FALSE(loadSceneJson(c.json, &scene, &error));
        EXPECT_FALSE(error.isEmpty());
        EXPECT_FALSE(error.contains(QLatin1Char('\n')) || error.contains(QChar(0x1b))) << error.toStdString();
        EXPECT_EQ(scene.getNumNodes(), 1);
        EXPECT_EQ(scene.getNode(0), existing);
        EXPECT_TRUE(existing->isSelected());
        EXPECT_EQ(existing->getFollowTarget(), nullptr);
    }
    EXPECT_EQ(added, 0);

    // The bounds themselves are no fault.
    EXPECT_TRUE(loadSceneJson(nestedScene(maxJsonNesting), &scene, &error)) << error.toStdString();
    EXPECT_TRUE(loadSceneJson(propsScene(maxSceneNodes), &scene, &error)) << error.toStdString();
    EXPECT_EQ(added, maxSceneNodes);
}

TEST_F(SceneFileTest, ReasonNamesTheFault)
{
    EXPECT_FALSE(loadSceneJson(R"({"nodes": [{"name": "A"}, {"name": "A"}]})", &scene, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("\"A\""))) << error.toStdString();
    EXPECT_FALSE(loadSceneJson(R"({"nodes": [{"name": "S", "kind": "figure", "follows": "Lamp"},
                                              {"name": "Lamp"}]})",
                               &scene, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("Lamp"))) << error.toStdString();
}

TEST_F(SceneFileTest, File_MissingOrBad_ReasonStartsWithTheFileName)
{
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    const QString missing = temp.path() + QStringLiteral("/missing.json");
    EXPECT_FALSE(loadSceneFile(missing, &scene, &error));
    EXPECT_TRUE(error.startsWith(missing)) << error.toStdString();

    const QString bad = temp.path() + QStringLiteral("/bad.json");
    QFile file(bad);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"({"nodes": [{"name": "A", "kind": "robot"}]})");
    file.close();
    EXPECT_FALSE(loadSceneFile(bad, &scene, &error));
    EXPECT_TRUE(error.startsWith(bad)) << error.toStdString();
    EXPECT_EQ(scene.getNumNodes(), 0);

    const QString good = temp.path() + QStringLiteral("/good.json");
    QFile goodFile(good);
    ASSERT_TRUE(goodFile.open(QIODevice::WriteOnly));
    goodFile.write(R"({"nodes": [{"name": "A", "kind": "figure"}]})");
    goodFile.close();
    EXPECT_TRUE(loadSceneFile(good, &scene, &error)) << error.toStdString();
    EXPECT_EQ(scene.getNumNodes(), 1);
}
