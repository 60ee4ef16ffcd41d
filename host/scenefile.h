#ifndef DZHOST_SCENEFILE_H
#define DZHOST_SCENEFILE_H

#include <QByteArray>
#include <QString>

class DzScene;

// Reads a scene described in JSON into the scene:
//   {"nodes": [{"name": "Base Female", "kind": "figure", "selected": true},
//              {"name": "Lamp", "kind": "prop"},
//              {"name": "Shirt", "kind": "figure", "follows": "Base Female"}]}
// Kinds: figure, prop, light, camera. Node names are unique; "follows" names a figure.
// A scene holds at most maxSceneNodes nodes: far more than any real scene, and a bound on
// the time and memory a hostile file can cost (the file's own size cap would let in over
// a million nodes).
// On failure returns false with a one-line reason, and the scene is left unchanged.
constexpr int maxSceneNodes = 100000;
// Either Qt's reader holds every item of a document (containers, and the entries after a
// container's first) in memory, over a gigabyte for the size cap's worth of empty lists.
// A scene of maxSceneNodes nodes with all their members holds about half this many, so a
// document with more is refused before it is read.
constexpr qint64 maxSceneItems = 8 * qint64(maxSceneNodes);

bool loadSceneFile(const QString& fileName, DzScene* scene, QString* error);
bool loadSceneJson(const QByteArray& json, DzScene* scene, QString* error);

#endif
