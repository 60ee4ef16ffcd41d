#ifndef RECORDINGLOGGER_H
#define RECORDINGLOGGER_H

#include <orvlogging.h>

#include <string>
#include <vector>

// Test double: keeps what it was handed, optionally as the formatted line, and can be made
// to throw after recording a call. Several recorders may share a journal that notes the
// order in which they were called.
class RecordingLogger final : public Orv::Logging::Logger
{
public:
    struct Entry
    {
        std::string message;
        Orv::Logging::Level level;
        std::string line;
    };

    explicit RecordingLogger(Orv::Logging::Level minimumLevel = Orv::Logging::Debug,
                             std::vector<const RecordingLogger*>* journal = nullptr)
        : Logger(minimumLevel)
        , m_journal(journal)
    {
    }

    void log(std::string message, Orv::Logging::Level level) override
    {
        if (m_journal)
            m_journal->push_back(this);
        std::string line = format(message, level);
        m_entries.push_back({std::move(message), level, std::move(line)});
        if (m_throws)
            throw 42; // not even a std::exception
    }

    std::vector<Entry> m_entries;
    bool m_throws = false;

private:
    std::vector<const RecordingLogger*>* m_journal;
};

#endif
