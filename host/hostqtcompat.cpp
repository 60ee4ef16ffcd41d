#include "hostqtcompat.h"

#include <algorithm>

JsonShape jsonShape(const QByteArray& json)
{
    JsonShape shape;
    int depth = 0;
    bool inString = false;
    for (int i = 0; i < json.size(); ++i) {
        const char c = json.at(i);
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            ++shape.items;
            shape.depth = std::max(shape.depth, ++depth);
        } else if (c == ']' || c == '}') {
            --depth;
        } else if (c == ',') {
            ++shape.items;
        }
    }
    return shape;
}

#if QT_VERSION >= 0x050000
#include <QJsonDocument>
#include <QJsonParseError>

bool parseJsonDocument(const QByteArray& json, const JsonShape&, QVariant* document, QString* error)
{
    QJsonParseError parseError;
    const QJsonDocument parsed = QJsonDocument::fromJson(json, &parseError);
    if (parsed.isNull()) {
        *error = QStringLiteral("%1 at offset %2").arg(parseError.errorString()).arg(parseError.offset);
        return false;
    }
    *document = parsed.toVariant();
    return true;
}

#else
#include <QPair>
#include <QScriptEngine>
#include <QScriptValue>

namespace {

// Qt 5's parser refuses documents nested deeper than this; the script engine's conversion to
// variants would otherwise recurse once per level.
constexpr int maxJsonNesting = 1024;

} // namespace

bool parseJsonDocument(const QByteArray& json, const JsonShape& shape, QVariant* document, QString* error)
{
    if (shape.depth > maxJsonNesting) {
        *error = QStringLiteral("too deeply nested document");
        return false;
    }
    // Qt 4 reads JSON through its script engine's own JSON.parse.
    QScriptEngine engine;
    QScriptValue parser = engine.globalObject().property(QStringLiteral("JSON"));
    const QScriptValue parsed = parser.property(QStringLiteral("parse"))
                                    .call(parser, QScriptValueList() << QScriptValue(QString::fromUtf8(json)));
    if (engine.hasUncaughtException()) {
        *error = engine.uncaughtException().toString();
        engine.clearExceptions();
        return false;
    }
    if (!parsed.isObject()) {
        *error = QStringLiteral("the document is neither an object nor an array");
        return false;
    }
    *document = parsed.toVariant();
    return true;
}

namespace {

QString optionSyntax(const QCommandLineOption& option)
{
    QStringList names;
    for (const QString& name : option.names())
        names.append((name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name);
    QString syntax = names.join(QStringLiteral(", "));
    if (!option.valueName().isEmpty())
        syntax += QStringLiteral(" <%1>").arg(option.valueName());
    return syntax;
}

} // namespace

QCommandLineOption QCommandLineParser::addHelpOption()
{
    const QCommandLineOption help(QStringList() << QStringLiteral("h") << QStringLiteral("help"),
                                  QStringLiteral("Displays help on commandline options."));
    m_options.append(help);
    return help;
}

void QCommandLineParser::addPositionalArgument(const QString& name, const QString& description,
                                               const QString& syntax)
{
    m_argumentHelp.append(QStringLiteral("  %1  %2").arg(name, description));
    m_argumentSyntax.append(syntax.isEmpty() ? name : syntax);
}

bool QCommandLineParser::parse(const QStringList& arguments)
{
    m_given.clear();
    m_flags.clear();
    m_positional.clear();
    m_program = arguments.value(0);
    bool positionalOnly = false;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString argument = arguments.at(i);
        if (positionalOnly || !argument.startsWith(QLatin1Char('-')) || argument == QLatin1String("-")) {
            m_positional.append(argument);
            positionalOnly = positionalOnly || m_mode == ParseAsPositionalArguments;
            continue;
        }
        if (argument == QLatin1String("--")) {
            positionalOnly = true;
            continue;
        }
        const bool isLong = argument.startsWith(QLatin1String("--"));
        QString name = argument.mid(isLong ? 2 : 1);
        QString value;
        const int equals = isLong ? name.indexOf(QLatin1Char('=')) : -1;
        if (equals >= 0) {
            value = name.mid(equals + 1);
            name = name.left(equals);
        }
        const QCommandLineOption* found = nullptr;
        for (const QCommandLineOption& option : m_options) {
            if (option.names().contains(name) && (isLong || name.size() == 1))
                found = &option;
        }
        if (!found) {
            m_error = QStringLiteral("Unknown option '%1'.").arg(name);
            return false;
        }
        if (found->valueName().isEmpty()) {
            if (equals >= 0) {
                m_error = QStringLiteral("Unexpected value after '%1'.").arg(argument.left(equals + 2));
                return false;
            }
            m_flags.append(found->names().first());
            continue;
        }
        if (equals < 0) {
            if (i + 1 >= arguments.size()) {
                m_error = QStringLiteral("Missing value after '%1'.").arg(argument);
                return false;
            }
            value = arguments.at(++i);
        }
        m_given.append(qMakePair(found->names().first(), value));
    }
    return true;
}

bool QCommandLineParser::isFlagSet(const QCommandLineOption& option) const
{
    return m_flags.contains(option.names().first());
}

QString QCommandLineParser::value(const QCommandLineOption& option) const
{
    const QStringList all = values(option);
    return all.isEmpty() ? QString() : all.last();
}

QStringList QCommandLineParser::values(const QCommandLineOption& option) const
{
    QStringList result;
    for (const auto& given : m_given) {
        if (given.first == option.names().first())
            result.append(given.second);
    }
    return result;
}

QString QCommandLineParser::helpText() const
{
    QString text = QStringLiteral("Usage: %1 [options] %2\n%3\n\nOptions:\n")
                       .arg(m_program, m_argumentSyntax.join(QStringLiteral(" ")), m_description);
    for (const QCommandLineOption& option : m_options)
        text += QStringLiteral("  %1  %2\n").arg(optionSyntax(option), option.description());
    text += QStringLiteral("\nArguments:\n") + m_argumentHelp.join(QStringLiteral("\n")) + QLatin1Char('\n');
    return text;
}
#endif
