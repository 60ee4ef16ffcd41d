#ifndef DZAPPLOGGER_H
#define DZAPPLOGGER_H

#include "orvlogging.h"

// The sink that writes each line into the host application's log, marked as the plug-in's.
// It filters nothing itself: whoever hands it a message applies the delivery rule.
class DzAppLogger final : public Orv::Logging::Logger
{
public:
    // Put in front of every line so that the plug-in's lines stand out in the host's log.
    static constexpr char linePrefix[] = "[Pliant Clothing Plugin] ";

    explicit DzAppLogger(Orv::Logging::Level minimumLevel);

    // Formats the line and hands it to the host's log. Without a host application object
    // (before the host has one, or after it is gone) the line is dropped.
    void log(std::string message, Orv::Logging::Level level) override;
};

#endif
