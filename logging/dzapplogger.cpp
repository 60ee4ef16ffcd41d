#include "dzapplogger.h"

#include <dzapp.h>

#include <QString>

#include <utility>

DzAppLogger::DzAppLogger(Orv::Logging::Level minimumLevel)
    : Logger(minimumLevel)
{
}

void DzAppLogger::log(std::string message, Orv::Logging::Level level)
{
    DzApp* const app = dzApp;
    if (app == nullptr)
        return;
    std::string text(linePrefix);
    text += format(std::move(message), level);
    app->log(QString::fromStdString(text));
}
