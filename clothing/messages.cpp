#include "messages.h"

namespace Messages {

QString errorDialogName()
{
    return QStringLiteral("Pliant Clothing Error");
}

QString errorDialogAccept()
{
    return QStringLiteral("Ok");
}

QString processingFailed()
{
    return QStringLiteral("ERROR:  There was a problem processing the Pliant Clothing.");
}

QString tooManyNodesSelected()
{
    return QStringLiteral("ERROR: Too many nodes selected.  Please select a single figure");
}

QString noFigureSelected()
{
    return QStringLiteral("ERROR: No figure selected.  Please select a figure");
}

QString notAFigure()
{
    return QStringLiteral("ERROR:  Must select a figure first");
}

QString couldNotStopServer()
{
    return QStringLiteral("ERROR:  Could not stop server.");
}

QString serverCommunicationFailed()
{
    return QStringLiteral("ERROR: Problem communicating with server.");
}

QString serverNotFound(const QString& updaterLocation)
{
    return QStringLiteral("<h3>ERROR: Could not find the Garbwright Server program.</h3><br><br>")
        + QStringLiteral("Run the TF Updater to make sure you have<br>")
        + QStringLiteral("the latest version of Tailorforge.<br><br>")
        + QStringLiteral("Updater location:<br>") + updaterLocation.toHtmlEscaped()
        + QStringLiteral("<br><br>");
}

QString installDirNotFound(const QString& homepage)
{
    return QStringLiteral("<h3>ERROR: Could not find the Tailorforge installation directory</h3><br><br>")
        + QStringLiteral("Please download and install Tailorforge<br>")
        + QStringLiteral("before using Pliant Clothing.<br><br>")
        + QStringLiteral("Tailorforge homepage:<br>")
        + QStringLiteral("<a href=\"") + homepage + QStringLiteral("\">") + homepage
        + QStringLiteral("</a><br><br>");
}

QString scriptOutsideContent(const QString& scriptPath)
{
    return processingFailed() + QStringLiteral("<br><br>")
        + QStringLiteral("The calling script is not inside a content directory:<br>")
        + scriptPath.toHtmlEscaped();
}

QString fieldNotSendable(RequestField field)
{
    QString name;
    switch (field) {
    case RequestField::Figure:
        name = QStringLiteral("figure's name");
        break;
    case RequestField::Vendor:
        name = QStringLiteral("vendor's name");
        break;
    case RequestField::Clothing:
        name = QStringLiteral("clothing's name");
        break;
    case RequestField::ScriptPath:
        name = QStringLiteral("script's path");
        break;
    }
    return processingFailed() + QStringLiteral("<br><br>") + QStringLiteral("The ") + name
        + QStringLiteral(" holds characters that cannot be sent to the Garbwright Server,"
                         " which reads Western European (Latin-1) text only.");
}

QString startingServer()
{
    return QStringLiteral("Starting the conversion server");
}

QString converting(const QString& clothing, const QString& figure)
{
    return QStringLiteral("Converting %1 for %2").arg(clothing, figure);
}

} // namespace Messages

namespace CompanionSettings {

QString organisation()
{
    return QStringLiteral("Brackenmoor");
}

QString application()
{
    return QStringLiteral("Tailorforge");
}

QString installDirKey()
{
    return QStringLiteral("installDir");
}

} // namespace CompanionSettings
