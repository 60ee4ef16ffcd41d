#ifndef GARBWRIGHT_TESTS_RECORDINGLOGGER_H
#define GARBWRIGHT_TESTS_RECORDINGLOGGER_H

#include <orvlogging.h>

#include <memory>
#include <string>
#include <vector>

// Test double: keeps what it was handed, with the line it formats, and can be made to
// throw after recording a call. Several recorders may share a journal that notes the order
// in which they were called.
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

// A recorder attached to the root logger for as long as this object lives: what the module
// logs, message by message, without reading it back out of the host's log.
class RootRecording
{
public:
    RootRecording()
        : m_recorder(std::make_shared<RecordingLogger>())
    {
        Orv::Logging::rootLogger.add(m_recorder);
    }
    ~RootRecording() { Orv::Logging::rootLogger.remove(m_recorder.get()); }
    RootRecording(const RootRecording&) = delete;
    RootRecording& operator=(const RootRecording&) = delete;

    const std::vector<RecordingLogger::Entry>& entries() const { return m_recorder->m_entries; }
    void clear() { m_recorder->m_entries.clear(); }

private:
    std::shared_ptr<RecordingLogger> m_recorder;
};

#endif
