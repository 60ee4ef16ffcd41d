#include "messages.h"

#include "protocol.h"
#include "slotlog.h"

#include <QLatin1String>

namespace {

// Text shown inside a rich-text message exactly as it is written: the four characters that
// markup gives a meaning are written as entities.
QString escapedHtml(const QString& text)
{
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '&':
            escaped += QLatin1String("&amp;");
            break;
        case '<':
            escaped += QLatin1String("&lt;");
            break;
        case '>':
            escaped += QLatin1String("&gt;");
            break;
        case '"':
            escaped += QLatin1String("&quot;");
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

// A value from outside inside a rich-text message.
QString shownInMessage(const QString& value)
{
    return escapedHtml(shownValue(value));
}

// What to do when the server does not answer, closing both messages that say so.
QString serverAdvice()
{
    return QString::fromLatin1("Check that no other program uses port %1 and that security software"
                               " lets the server run, then try again.")
        .arg(Protocol::serverPort);
}

QString serverDidNotAnswerHeading()
{
    return QLatin1String("<h3>ERROR: The Garbwright Server did not answer.</h3><br><br>");
}

} // namespace

namespace Messages {

QString errorDialogName()
{
    return QLatin1String("Pliant Clothing Error");
}

QString errorDialogAccept()
{
    return QLatin1String("Ok");
}

QString processingFailed()
{
    return QLatin1String("ERROR:  There was a problem processing the Pliant Clothing.");
}

QString tooManyNodesSelected()
{
    return QLatin1String("ERROR: Too many nodes selected.  Please select a single figure");
}

QString noFigureSelected()
{
    return QLatin1String("ERROR: No figure selected.  Please select a figure");
}

QString notAFigure()
{
    return QLatin1String("ERROR:  Must select a figure first");
}

QString couldNotStopServer()
{
    return QLatin1String("ERROR:  Could not stop server.");
}

QString serverCommunicationFailed()
{
    return QLatin1String("ERROR: Problem communicating with server.");
}

QString serverNotFound(const QString& updaterLocation)
{
    return QLatin1String("<h3>ERROR: Could not find the Garbwright Server program.</h3><br><br>"
                         "Run the TF Updater to make sure you have<br>"
                         "the latest version of Tailorforge.<br><br>"
                         "Updater location:<br>")
        + shownInMessage(updaterLocation) + QLatin1String("<br><br>");
}

QString installDirNotFound(const QString& homepage)
{
    return QLatin1String("<h3>ERROR: Could not find the Tailorforge installation directory</h3><br><br>"
                         "Please download and install Tailorforge<br>"
                         "before using Pliant Clothing.<br><br>"
                         "Tailorforge homepage:<br>"
                         "<a href=\"")
        + homepage + QLatin1String("\">") + homepage + QLatin1String("</a><br><br>");
}

QString scriptOutsideContent(const QString& scriptPath)
{
    return processingFailed()
        + QLatin1String("<br><br>The calling script is not inside a content directory:<br>")
        + shownInMessage(scriptPath);
}

namespace {

QString fieldName(RequestField field)
{
    switch (field) {
    case RequestField::Figure:
        return QLatin1String("figure's name");
    case RequestField::Vendor:
        return QLatin1String("vendor's name");
    case RequestField::Clothing:
        return QLatin1String("clothing's name");
    case RequestField::ScriptPath:
        return QLatin1String("script's path");
    }
    return QString();
}

} // namespace

QString fieldNotSendable(RequestField field)
{
    return processingFailed() + QLatin1String("<br><br>The ") + fieldName(field)
        + QLatin1String(" holds characters that cannot be sent to the Garbwright Server,"
                        " which reads Western European (Latin-1) text only.");
}

QString fieldHoldsTerminator(RequestField field, char terminator)
{
    const QString character = terminator == '\n' ? QString::fromLatin1("a line break")
                                                  : QString::fromLatin1("\"%1\"").arg(QLatin1Char(terminator));
    return processingFailed() + QLatin1String("<br><br>The ") + fieldName(field) + QLatin1String(" holds ")
        + escapedHtml(character)
        + QLatin1String(", which the Garbwright Server reads as the end of a part of the request."
                        " Rename it without that character and try again.");
}

QString anotherCallWaiting()
{
    return processingFailed()
        + QLatin1String("<br><br>Another Pliant Clothing call is still waiting on the Garbwright Server."
                        " Try again when it is done.");
}

QString selectionChanged(const QString& figure)
{
    return processingFailed() + QLatin1String("<br><br>The selection changed while the garment was converted for ")
        + shownInMessage(figure)
        + QLatin1String(", so nothing was loaded. Select that figure alone and try again.");
}

QString serverDidNotAnswer(const QString& serverPath, int seconds)
{
    return serverDidNotAnswerHeading() + QLatin1String("The conversion server was started from<br>")
        + shownInMessage(serverPath)
        + QString::fromLatin1("<br>but did not answer within %1 s.<br><br>").arg(seconds) + serverAdvice();
}

QString serverStoppedAnswering()
{
    return serverDidNotAnswerHeading()
        + QLatin1String("The conversion server answered, then stopped answering before the garment"
                        " could be converted.<br><br>")
        + serverAdvice();
}

QString waitingForServer()
{
    return QLatin1String("Waiting for the conversion server to answer");
}

QString startingServer()
{
    return QLatin1String("Starting the conversion server");
}

QString askingServer()
{
    return QLatin1String("Asking the conversion server whether it runs");
}

QString stoppingServer()
{
    return QLatin1String("Stopping the conversion server");
}

QString converting(const QString& clothing, const QString& figure)
{
    return QString::fromLatin1("Converting %1 for %2").arg(shownValue(clothing), shownValue(figure));
}

} // namespace Messages

namespace CompanionSettings {

QString organisation()
{
    return QLatin1String("Brackenmoor");
}

QString application()
{
    return QLatin1String("Tailorforge");
}

QString installDirKey()
{
    return QLatin1String("installDir");
}

} // namespace CompanionSettings
