#include "scenefile.h"

#include "dzscene.h"
#include "dzskeleton.h"
#include "hostqtcompat.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QTextCodec>
#include <QVariant>

#include <memory>
#include <vector>

namespace {

struct NodeDescription {
    QString name;
    QString kind;
    bool selected = false;
    QString follows;
};

bool fail(QString* error, const QString& reason)
{
    if (error)
        *error = reason;
    return false;
}

std::unique_ptr<DzNode> makeNode(const QString& kind, const QString& name)
{
    if (kind == QLatin1String("figure"))
        return std::make_unique<DzSkeleton>(name);
    if (kind == QLatin1String("prop"))
        return std::make_unique<DzNode>(name);
    if (kind == QLatin1String("light"))
        return std::make_unique<DzLight>(name);
    if (kind == QLatin1String("camera"))
        return std::make_unique<DzCamera>(name);
    return nullptr;
}

bool isA(const QVariant& value, QVariant::Type type)
{
    return value.type() == type;
}

bool readNodes(const QVariant& document, std::vector<NodeDescription>* nodes, QString* error)
{
    if (!isA(document, QVariant::Map) || !isA(document.toMap().value(QStringLiteral("nodes")), QVariant::List))
        return fail(error, QStringLiteral("expected an object with a \"nodes\" array"));
    const QVariantList array = document.toMap().value(QStringLiteral("nodes")).toList();
    if (array.size() > maxSceneNodes)
        return fail(error, QStringLiteral("%1 nodes, more than the %2 a scene may hold")
                               .arg(array.size())
                               .arg(maxSceneNodes));
    QHash<QString, QString> kinds;
    for (int i = 0; i < array.size(); ++i) {
        const QString where = QStringLiteral("node %1").arg(i + 1);
        if (!isA(array.at(i), QVariant::Map))
            return fail(error, where + QStringLiteral(": expected an object"));
        const QVariantMap object = array.at(i).toMap();
        NodeDescription entry;
        const QVariant name = object.value(QStringLiteral("name"));
        if (!isA(name, QVariant::String) || name.toString().isEmpty())
            return fail(error, where + QStringLiteral(": \"name\" must be a non-empty text"));
        entry.name = name.toString();
        if (kinds.contains(entry.name))
            return fail(error,
                        where + QStringLiteral(": the name \"%1\" is used twice").arg(dzShownValue(entry.name)));
        const QVariant kind = object.value(QStringLiteral("kind"));
        if (!object.contains(QStringLiteral("kind")))
            entry.kind = QStringLiteral("prop");
        else if (isA(kind, QVariant::String))
            entry.kind = kind.toString();
        if (!makeNode(entry.kind, QString()))
            return fail(error, where + QStringLiteral(": unknown kind (use figure, prop, light or camera)"));
        const QVariant selected = object.value(QStringLiteral("selected"));
        if (object.contains(QStringLiteral("selected")) && !isA(selected, QVariant::Bool))
            return fail(error, where + QStringLiteral(": \"selected\" must be true or false"));
        entry.selected = selected.toBool();
        const QVariant follows = object.value(QStringLiteral("follows"));
        if (object.contains(QStringLiteral("follows")) && !isA(follows, QVariant::String))
            return fail(error, where + QStringLiteral(": \"follows\" must be a figure's name"));
        entry.follows = follows.toString();
        if (!entry.follows.isEmpty() && entry.kind != QLatin1String("figure"))
            return fail(error, where + QStringLiteral(": only a figure can follow another"));
        kinds.insert(entry.name, entry.kind);
        nodes->push_back(entry);
    }
    for (const NodeDescription& entry : *nodes) {
        if (entry.follows.isEmpty())
            continue;
        if (kinds.value(entry.follows) != QLatin1String("figure") || entry.follows == entry.name)
            return fail(error, QStringLiteral("node \"%1\" follows \"%2\", which is not another figure")
                                   .arg(dzShownValue(entry.name), dzShownValue(entry.follows)));
    }
    return true;
}

} // namespace

bool loadSceneJson(const QByteArray& json, DzScene* scene, QString* error)
{
    // One file gives one result under either Qt: Qt 4's reader stops at a NUL byte and
    // replaces bytes that are not UTF-8, where Qt 5's refuses both. Both are refused here.
    if (json.contains('\0'))
        return fail(error, QStringLiteral("a NUL byte at offset %1").arg(json.indexOf('\0')));
    QTextCodec::ConverterState state;
    QTextCodec::codecForName("UTF-8")->toUnicode(json.constData(), json.size(), &state);
    if (state.invalidChars > 0 || state.remainingChars > 0)
        return fail(error, QStringLiteral("the text is not UTF-8"));
    const JsonShape shape = jsonShape(json);
    if (shape.items > maxSceneItems)
        return fail(error, QStringLiteral("more than the %1 items a scene may hold").arg(maxSceneItems));
    QVariant document;
    QString reason;
    if (!parseJsonDocument(json, shape, &document, &reason))
        return fail(error, QStringLiteral("not valid JSON (%1)").arg(reason));
    std::vector<NodeDescription> descriptions;
    if (!readNodes(document, &descriptions, error))
        return false;

    QHash<QString, DzNode*> made;
    for (const NodeDescription& entry : descriptions) {
        std::unique_ptr<DzNode> node = makeNode(entry.kind, entry.name);
        node->select(entry.selected);
        made.insert(entry.name, node.get());
        scene->addNode(node.release());
    }
    for (const NodeDescription& entry : descriptions) {
        if (!entry.follows.isEmpty()) {
            qobject_cast<DzSkeleton*>(made.value(entry.name))
                ->setFollowTarget(qobject_cast<DzSkeleton*>(made.value(entry.follows)));
        }
    }
    return true;
}

bool loadSceneFile(const QString& fileName, DzScene* scene, QString* error)
{
    // Only a regular file is read: a device never ends, and a pipe may never start.
    const QFileInfo info(fileName);
    if (info.exists() && !info.isFile())
        return fail(error, QStringLiteral("%1: not a regular file").arg(fileName));
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return fail(error, QStringLiteral("%1: %2").arg(fileName, file.errorString()));
    if (file.isSequential())
        return fail(error, QStringLiteral("%1: not a regular file").arg(fileName));
    // A scene description is small; anything far larger is not one. The size the file
    // claims is not trusted: reading stops past the limit.
    constexpr qint64 maxSceneBytes = 16 * 1024 * 1024;
    const QByteArray json = file.read(maxSceneBytes + 1);
    if (json.size() > maxSceneBytes)
        return fail(error, QStringLiteral("%1: too large for a scene description").arg(fileName));
    if (!loadSceneJson(json, scene, error)) {
        if (error)
            *error = fileName + QStringLiteral(": ") + *error;
        return false;
    }
    return true;
}
