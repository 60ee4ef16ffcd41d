#include "clothingfixture.h"
#include "dzappcontrol.h"

#include <functional>

namespace {

using FigureSelection = ClothingTest;

const QString tooMany = QStringLiteral("ERROR: Too many nodes selected.  Please select a single figure");
const QString noFigure = QStringLiteral("ERROR: No figure selected.  Please select a figure");
const QString notAFigure = QStringLiteral("ERROR:  Must select a figure first");

TEST_F(FigureSelection, OneFigure_ReturnedWithThreeLinesAndNoDialog)
{
    DzSkeleton* figure = addNode<DzSkeleton>(QStringLiteral("Base Female"), true);
    addNode(QStringLiteral("Lamp"), false);
    clearLog();

    EXPECT_EQ(m_clothing->getSelectedFigure(), figure);
    EXPECT_EQ(messages(), (QStringList{QStringLiteral("Getting selected figure"),
                                       QStringLiteral(" - Getting selected nodes"),
                                       QStringLiteral(" - Getting selected figure node")}));
    EXPECT_TRUE(dialogTexts().isEmpty());
}

TEST_F(FigureSelection, BadSelections_OneDialogEachAndNoFigure)
{
    struct Case {
        const char* name;
        std::function<void()> select;
        QString message;
    };
    const Case cases[] = {
        {"nothing", [] {}, noFigure},
        {"two figures", [&] { addNode<DzSkeleton>(QStringLiteral("A"), true); addNode<DzSkeleton>(QStringLiteral("B"), true); }, tooMany},
        {"figure and prop", [&] { addNode<DzSkeleton>(QStringLiteral("A"), true); addNode(QStringLiteral("P"), true); }, tooMany},
        {"one prop", [&] { addNode(QStringLiteral("P"), true); }, notAFigure},
        {"one light", [&] { addNode<DzLight>(QStringLiteral("L"), true); }, notAFigure},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        scene().clear();
        c.select();
        clearLog();
        DzAppControl(app()).clearDialogRecords();

        EXPECT_EQ(m_clothing->getSelectedFigure(), nullptr);
        EXPECT_EQ(dialogTexts(), QStringList{c.message});
        EXPECT_EQ(messagesAt(QStringLiteral("Debug")), (QStringList{QStringLiteral("Getting selected figure"),
                                                                    QStringLiteral(" - Getting selected nodes")}));
        EXPECT_EQ(messagesAt(QStringLiteral("Error")), QStringList{c.message});
    }
}

TEST_F(FigureSelection, ConformedGarmentSelected_IsTheFigureItself)
{
    DzSkeleton* body = addNode<DzSkeleton>(QStringLiteral("Base Female"), false);
    DzSkeleton* shirt = addNode<DzSkeleton>(QStringLiteral("Shirt"), true);
    shirt->setFollowTarget(body);

    EXPECT_EQ(m_clothing->getSelectedFigure(), shirt);
    EXPECT_EQ(m_clothing->figureGeomPath(), QStringLiteral("Shirt"));
}

TEST_F(FigureSelection, GeomPathWithNothingSelected_EmptyAfterOneDialog)
{
    EXPECT_EQ(m_clothing->figureGeomPath(), QString());
    EXPECT_EQ(dialogTexts(), QStringList{noFigure});
    EXPECT_EQ(messagesAt(QStringLiteral("Debug")), (QStringList{QStringLiteral("Getting figure geom path"),
                                                                QStringLiteral("Getting selected figure"),
                                                                QStringLiteral(" - Getting selected nodes"),
                                                                QStringLiteral("Returning geom name")}));
}

} // namespace
