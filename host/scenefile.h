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
// On failure returns false with a one-line reason, and the scene is left unchanged.
bool loadSceneFile(const QString& fileName, DzScene* scene, QString* error);
bool loadSceneJson(const QByteArray& json, DzScene* scene, QString* error);

#endif
