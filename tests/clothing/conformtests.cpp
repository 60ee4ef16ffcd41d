#include "clothingfixture.h"

namespace {

using ConformCheck = ClothingTest;

TEST_F(ConformCheck, LoadWithNoConversionPending_OnlyTheFirstLine)
{
    addNode<DzSkeleton>(QStringLiteral("Base Female"), true);

    EXPECT_EQ(messages(), QStringList{QStringLiteral("New item loaded: Base Female")});
}

TEST_F(ConformCheck, NullSkeleton_NeverDereferenced)
{
    m_clothing->clothingLoaded(nullptr);
    m_clothing->clothingConformTargetChanged(nullptr);

    EXPECT_EQ(messages().size(), 2);
    EXPECT_FALSE(messages().join(QString()).contains(QStringLiteral("New item loaded")));
}

TEST_F(ConformCheck, FollowTargetChanges_LoggedWithTheNewTargetOrItsRemoval)
{
    DzSkeleton* body = addNode<DzSkeleton>(QStringLiteral("Base Female"), true);
    DzSkeleton* shirt = addNode<DzSkeleton>(QStringLiteral("Shirt"), false);
    dzConnectCall(shirt, SIGNAL(followTargetChanged(DzSkeleton*)), m_clothing.get(),
                  [&] { m_clothing->clothingConformTargetChanged(shirt); });
    clearLog();

    shirt->setFollowTarget(body);
    shirt->setFollowTarget(nullptr);
    shirt->setFollowTarget(body);
    delete body; // the host deleting the figure detaches the garment

    EXPECT_EQ(messages(), (QStringList{
        QStringLiteral("Clothing Shirt follow target changed"),
        QStringLiteral("Clothing conform target changed to: Base Female"),
        QStringLiteral("Clothing Shirt follow target changed"),
        QStringLiteral("Clothing conform target REMOVED"),
        QStringLiteral("Clothing Shirt follow target changed"),
        QStringLiteral("Clothing conform target changed to: Base Female"),
        QStringLiteral("Clothing Shirt follow target changed"),
        QStringLiteral("Clothing conform target REMOVED")}));
}

} // namespace
