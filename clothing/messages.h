#ifndef GARBWRIGHT_MESSAGES_H
#define GARBWRIGHT_MESSAGES_H

#include <QString>

// Everything the user may be shown. The error texts are rich text. A value from outside the
// module (a name, a path) is shown as the log shows it: control characters escaped, a long
// value cut to its start and length.
namespace Messages {

// Caption of the error dialog and the text of its accept button.
QString errorDialogName();
QString errorDialogAccept();

QString processingFailed();
QString tooManyNodesSelected();
QString noFigureSelected();
QString notAFigure();
QString couldNotStopServer();
QString serverCommunicationFailed();
QString serverNotFound(const QString& updaterLocation);
QString installDirNotFound(const QString& homepage);
QString scriptOutsideContent(const QString& scriptPath);

// The fields of a conversion request, for naming the one that cannot be sent.
enum class RequestField { Figure, Vendor, Clothing, ScriptPath };
QString fieldNotSendable(RequestField field);
// The field holds `terminator`, a character that ends a field or the request on the wire.
QString fieldHoldsTerminator(RequestField field, char terminator);

// A conversion or server start arrived while another call waits on the server.
QString anotherCallWaiting();
// The figure the garment was converted for is no longer the one selected figure.
QString selectionChanged(const QString& figure);

// A server this call started did not answer within `seconds` of its start.
QString serverDidNotAnswer(const QString& serverPath, int seconds);
// A server that answered a probe of this call no longer answers.
QString serverStoppedAnswering();

// What the host's progress shows while the module waits (plain text).
QString startingServer();
QString waitingForServer();
QString askingServer();
QString stoppingServer();
QString converting(const QString& clothing, const QString& figure);

} // namespace Messages

// Where the companion application keeps its settings.
namespace CompanionSettings {
QString organisation();
QString application();
QString installDirKey();
} // namespace CompanionSettings

#endif
