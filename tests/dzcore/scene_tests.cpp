#include "dzskeleton.h"

#include "hostfixture.h"
#include "signallog.h"


namespace {

QStringList names(const QObjectList& nodes)
{
    QStringList result;
    for (const QObject* node : nodes)
        result.append(qobject_cast<const DzNode*>(node)->getName());
    return result;
}

using SceneTest = HostFixture;

} // namespace

TEST_F(SceneTest, SelectedNodeList_InSceneOrderWhateverTheOrderOfSelecting)
{
    addNode(QStringLiteral("A"));
    DzNode* b = addNode(QStringLiteral("B"));
    DzNode* c = addNode<DzSkeleton>(QStringLiteral("C"));
    DzNode* d = addNode(QStringLiteral("D"));
    d->select(true);
    b->select(true);
    c->select(true);
    EXPECT_EQ(names(scene().getSelectedNodeList()), (QStringList{"B", "C", "D"}));
    EXPECT_EQ(scene().getNumSelectedNodes(), 3);

    c->select(false);
    EXPECT_EQ(names(scene().getSelectedNodeList()), (QStringList{"B", "D"}));
    scene().selectAllNodes(true);
    EXPECT_EQ(names(scene().getSelectedNodeList()), (QStringList{"A", "B", "C", "D"}));
    scene().selectAllNodes(false);
    EXPECT_TRUE(scene().getSelectedNodeList().isEmpty());
}

TEST_F(SceneTest, Selecting_AnnouncesTheChangedSelection)
{
    DzNode* a = addNode(QStringLiteral("A"));
    SignalLog changed(&scene(), &DzScene::nodeSelectionListChanged);
    a->select(true);
    a->select(true); // no change
    a->select(false);
    EXPECT_EQ(changed.count(), 2);
}

TEST_F(SceneTest, DeletingANode_TakesItOutOfTheScene)
{
    addNode(QStringLiteral("A"), true);
    DzNode* b = addNode<DzSkeleton>(QStringLiteral("B"), true);
    addNode(QStringLiteral("C"), true);
    SignalLog changed(&scene(), &DzScene::nodeSelectionListChanged);

    delete b;
    EXPECT_EQ(scene().getNumNodes(), 2);
    EXPECT_EQ(scene().findNode(QStringLiteral("B")), nullptr);
    EXPECT_EQ(scene().getNode(1)->getName(), QStringLiteral("C"));
    EXPECT_EQ(names(scene().getSelectedNodeList()), (QStringList{"A", "C"}));
    EXPECT_GE(changed.count(), 1);
}

TEST_F(SceneTest, AddNode_SkeletonAddedOnlyForFigures)
{
    SignalLog nodes(&scene(), &DzScene::nodeAdded);
    SignalLog skeletons(&scene(), &DzScene::skeletonAdded);
    addNode(QStringLiteral("Lamp"));
    addNode<DzLight>(QStringLiteral("Light"));
    addNode<DzCamera>(QStringLiteral("Camera"));
    DzSkeleton* figure = addNode<DzSkeleton>(QStringLiteral("Base Female"));
    EXPECT_EQ(nodes.count(), 4);
    ASSERT_EQ(skeletons.count(), 1);
    EXPECT_EQ(std::get<0>(skeletons.at(0)), figure);
}

TEST_F(SceneTest, ReceiverClearsTheScene_LaterReceiversStillGetALiveNode)
{
    addNode(QStringLiteral("Lamp"));
    QString seenLater;
    QObject::connect(&scene(), &DzScene::nodeAdded, [this] { scene().clear(); });
    // Selecting a node that has left the scene changes nothing the scene shows.
    QObject::connect(&scene(), &DzScene::skeletonAdded, [&](DzSkeleton* skeleton) {
        seenLater = skeleton->getName();
        skeleton->select(true);
    });
    SignalLog changed(&scene(), &DzScene::nodeSelectionListChanged);

    QPointer<DzSkeleton> figure = new DzSkeleton(QStringLiteral("Base Female"));
    scene().addNode(figure);
    EXPECT_EQ(seenLater, QStringLiteral("Base Female"));
    EXPECT_EQ(changed.count(), 1) << "only the clearing changes the selection list";
    EXPECT_TRUE(figure.isNull()) << "released once every receiver had it";
    EXPECT_EQ(scene().getNumNodes(), 0);
}

TEST(DzBase, Iskindof_TrueForTheClassAndItsBases)
{
    DzSkeleton figure(QStringLiteral("F"));
    DzLight light(QStringLiteral("L"));
    EXPECT_TRUE(figure.iskindof(QStringLiteral("DzSkeleton")));
    EXPECT_TRUE(figure.iskindof(QStringLiteral("DzNode")));
    EXPECT_TRUE(figure.iskindof(QStringLiteral("DzBase")));
    EXPECT_FALSE(light.iskindof(QStringLiteral("DzSkeleton")));
    EXPECT_TRUE(light.iskindof(QStringLiteral("DzNode")));
    EXPECT_FALSE(figure.iskindof(QStringLiteral("DzSkel")));
    EXPECT_EQ(figure.getName(), QStringLiteral("F"));
}

namespace {

class SkeletonTest : public ::testing::Test {
protected:
    DzSkeleton shirt{QStringLiteral("Shirt")};
    SignalLog<DzSkeleton, DzSkeleton*> changed{&shirt, &DzSkeleton::followTargetChanged};

    DzSkeleton* lastAnnounced() const { return std::get<0>(changed.last()); }
};

} // namespace

TEST_F(SkeletonTest, SetFollowTarget_AnnouncesEachChangeOnly)
{
    DzSkeleton figure(QStringLiteral("Base Female"));
    shirt.setFollowTarget(&figure);
    EXPECT_EQ(shirt.getFollowTarget(), &figure);
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(lastAnnounced(), &figure);

    shirt.setFollowTarget(&figure);
    EXPECT_EQ(changed.count(), 1);

    shirt.setFollowTarget(nullptr);
    EXPECT_EQ(shirt.getFollowTarget(), nullptr);
    ASSERT_EQ(changed.count(), 2);
    EXPECT_EQ(lastAnnounced(), nullptr);
}

TEST_F(SkeletonTest, SetFollowTarget_Itself_Refused)
{
    shirt.setFollowTarget(&shirt);
    EXPECT_EQ(shirt.getFollowTarget(), nullptr);
    EXPECT_EQ(changed.count(), 0);
}

TEST_F(SkeletonTest, TargetDeleted_FollowsNothingAndAnnouncesNull)
{
    auto* figure = new DzSkeleton(QStringLiteral("Base Female"));
    shirt.setFollowTarget(figure);
    delete figure;
    EXPECT_EQ(shirt.getFollowTarget(), nullptr);
    ASSERT_EQ(changed.count(), 2);
    EXPECT_EQ(lastAnnounced(), nullptr);
}

TEST_F(SkeletonTest, FormerTargetDeleted_CurrentTargetKept)
{
    auto* first = new DzSkeleton(QStringLiteral("First"));
    DzSkeleton second(QStringLiteral("Second"));
    shirt.setFollowTarget(first);
    shirt.setFollowTarget(&second);
    delete first;
    EXPECT_EQ(shirt.getFollowTarget(), &second);
    EXPECT_EQ(changed.count(), 2);

    // Detached, then the former target goes: nothing to announce either.
    auto* third = new DzSkeleton(QStringLiteral("Third"));
    shirt.setFollowTarget(third);
    shirt.setFollowTarget(nullptr);
    delete third;
    EXPECT_EQ(changed.count(), 4);
}

TEST(DzSkeletonLifetime, FollowerDeletedBeforeTarget_TargetDeletesCleanly)
{
    DzSkeleton figure(QStringLiteral("Base Female"));
    auto* shirt = new DzSkeleton(QStringLiteral("Shirt"));
    shirt->setFollowTarget(&figure);
    delete shirt;
    // figure goes out of scope here: it must not reach the deleted follower.
}
