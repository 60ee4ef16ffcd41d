#ifndef HOSTQTCOMPAT_H
#define HOSTQTCOMPAT_H

// What the host program uses of Qt where Qt 4 and Qt 5 differ, beyond the stand-ins' own
// (dzqtcompat.h): reading JSON, and, on Qt 4, the command-line parser that Qt 5 has.

#include "dzqtcompat.h"

#include <QByteArray>
#include <QString>
#include <QVariant>

// The shape of a JSON text as its brackets and the commas outside its texts tell, without
// parsing it: how deeply it nests, and how many items it holds (containers, and entries
// after a container's first).
struct JsonShape {
    int depth = 0;
    qint64 items = 0;
};
JsonShape jsonShape(const QByteArray& json);

// Parses a JSON document (an object or an array) into maps, lists, texts, numbers and
// booleans; false with the reason when the text is not such a document. `shape` is
// jsonShape(json), which the caller has counted already.
bool parseJsonDocument(const QByteArray& json, const JsonShape& shape, QVariant* document, QString* error);

#if QT_VERSION >= 0x050000
#include <QCommandLineOption>
#include <QCommandLineParser>
#else
#include <QList>
#include <QStringList>

// The part of Qt 5's parser that the host uses, with the same behaviour: long options
// (--name VALUE or --name=VALUE), -h and --help, and everything from the first positional
// argument on taken as positional.
class QCommandLineOption {
public:
    QCommandLineOption(const QString& name, const QString& description = QString(),
                       const QString& valueName = QString())
        : m_names(name), m_description(description), m_valueName(valueName)
    {
    }
    QCommandLineOption(const QStringList& names, const QString& description)
        : m_names(names), m_description(description)
    {
    }
    QStringList names() const { return m_names; }
    QString description() const { return m_description; }
    QString valueName() const { return m_valueName; }

private:
    QStringList m_names;
    QString m_description;
    QString m_valueName;
};

class QCommandLineParser {
public:
    enum OptionsAfterPositionalArgumentsMode { ParseAsOptions, ParseAsPositionalArguments };

    void setApplicationDescription(const QString& description) { m_description = description; }
    void setOptionsAfterPositionalArgumentsMode(OptionsAfterPositionalArgumentsMode mode) { m_mode = mode; }
    QCommandLineOption addHelpOption();
    void addOptions(const QList<QCommandLineOption>& options) { m_options += options; }
    void addPositionalArgument(const QString& name, const QString& description,
                               const QString& syntax = QString());
    bool parse(const QStringList& arguments);
    QString errorText() const { return m_error; }
    bool isSet(const QCommandLineOption& option) const { return !values(option).isEmpty() || isFlagSet(option); }
    QString value(const QCommandLineOption& option) const;
    QStringList values(const QCommandLineOption& option) const;
    QStringList positionalArguments() const { return m_positional; }
    QString helpText() const;

private:
    bool isFlagSet(const QCommandLineOption& option) const;

    QString m_description;
    OptionsAfterPositionalArgumentsMode m_mode = ParseAsOptions;
    QList<QCommandLineOption> m_options;
    QStringList m_argumentHelp;
    QStringList m_argumentSyntax;
    QString m_program;
    QList<QPair<QString, QString>> m_given; // an option's first name, and its value
    QStringList m_flags;
    QStringList m_positional;
    QString m_error;
};
#endif

#endif
