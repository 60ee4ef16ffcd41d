// The figure a garment is converted for: exactly one selected node, and it is a figure.

#include "garbwright.h"

#include "dzscene.h"
#include "dzskeleton.h"
#include "messages.h"
#include "slotlog.h"
#include "slotwork.h"

DzSkeleton* SlotWork::getSelectedFigure()
{
    return guardedSlot("getSelectedFigure", static_cast<DzSkeleton*>(nullptr), []() -> DzSkeleton* {
        trace("Getting selected figure");

        trace(" - Getting selected nodes");
        const QObjectList selected = dzScene ? dzScene->getSelectedNodeList() : QObjectList();
        if (selected.size() > 1) {
            displayError(Messages::tooManyNodesSelected(), false);
            return nullptr;
        }
        if (selected.isEmpty()) {
            displayError(Messages::noFigureSelected(), false);
            return nullptr;
        }
        // Anything that is not a node cannot be a figure either.
        auto* node = qobject_cast<DzNode*>(selected.first());
        if (!node || !node->iskindof(QLatin1String("DzSkeleton"))) {
            displayError(Messages::notAFigure(), false);
            return nullptr;
        }

        trace(" - Getting selected figure node");
        return qobject_cast<DzSkeleton*>(node);
    });
}

QString SlotWork::figureGeomPath(DzSkeleton** figure)
{
    return guardedSlot("figureGeomPath", QString(), [&] {
        trace("Getting figure geom path");
        DzSkeleton* selected = getSelectedFigure();
        if (figure)
            *figure = selected;
        trace("Returning geom name");
        return selected ? selected->getName() : QString();
    });
}

DzSkeleton* BMPliantClothing::getSelectedFigure()
{
    return SlotWork::getSelectedFigure();
}

QString BMPliantClothing::figureGeomPath()
{
    return SlotWork::figureGeomPath();
}
