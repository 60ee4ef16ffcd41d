// Following what the host does after a conversion: whether the garment it loads follows
// the figure the garment was converted for, and later changes of what it follows.

#include "garbwright.h"

#include "dzskeleton.h"
#include "slotlog.h"
#include "slotwork.h"

#include <algorithm>

void BMPliantClothing::clothingLoaded(DzSkeleton* clothing)
{
    guardedSlot("clothingLoaded", [&] {
        if (!clothing) {
            trace("Ignoring a load notice that names no skeleton");
            return;
        }
        // A script that connects this object to the scene's notice as well, once or more,
        // hands it the same skeleton again, perhaps after a load that a handler of that notice
        // started: one load is handled once.
        QPointer<DzSkeleton>& seen = m_loadedSkeletons[clothing];
        if (seen)
            return;
        seen = clothing;
        if (m_loadedSkeletons.size() >= m_sweepLoadedAt) {
            for (auto it = m_loadedSkeletons.begin(); it != m_loadedSkeletons.end();) {
                if (it.value())
                    ++it;
                else
                    it = m_loadedSkeletons.erase(it);
            }
            m_sweepLoadedAt = 2 * std::max(64, static_cast<int>(m_loadedSkeletons.size()));
        }
        trace("New item loaded: ", clothing->getName());
        if (!m_currentFigure)
            return;
        // A skeleton that another object's conversion is loading is that garment, not this
        // object's.
        if (SlotWork::GarmentLoad::loader() && SlotWork::GarmentLoad::loader() != this)
            return;

        trace("Currently selected figure: ", m_currentFigure->getName());
        trace("Clothing: ", clothing->getName());
        trace("Conforming clothing to currently selected figure");
        if (clothing->getFollowTarget() == m_currentFigure.data())
            trace("Clothing is conformed");
        else
            trace("Clothing is NOT conformed");

        trace("Forgetting current figure");
        m_currentFigure = nullptr;
    });
}

void BMPliantClothing::clothingConformTargetChanged(DzSkeleton* clothing)
{
    guardedSlot("clothingConformTargetChanged", [&] {
        if (!clothing) {
            trace("Ignoring a follow-target notice that names no skeleton");
            return;
        }
        trace("Clothing " + loggable(clothing->getName()) + " follow target changed");
        if (const DzSkeleton* target = clothing->getFollowTarget())
            trace("Clothing conform target changed to: ", target->getName());
        else
            trace("Clothing conform target REMOVED");
    });
}
