#ifndef GARBWRIGHT_TESTS_SIGNALLOG_H
#define GARBWRIGHT_TESTS_SIGNALLOG_H

#include <QObject>

#include <tuple>
#include <type_traits>
#include <vector>

// Records each emission of one signal with its arguments, until it goes out of scope.
template <class Sender, class... Args>
class SignalLog {
public:
    using Call = std::tuple<std::decay_t<Args>...>;

    SignalLog(Sender* sender, void (Sender::*signal)(Args...))
        : m_connection(QObject::connect(sender, signal,
                                        [this](Args... args) { m_calls.emplace_back(args...); }))
    {
    }
    ~SignalLog() { QObject::disconnect(m_connection); }
    SignalLog(const SignalLog&) = delete;
    SignalLog& operator=(const SignalLog&) = delete;

    int count() const { return static_cast<int>(m_calls.size()); }
    const Call& at(int index) const { return m_calls.at(static_cast<size_t>(index)); }
    const Call& last() const { return m_calls.back(); }

private:
    std::vector<Call> m_calls;
    QMetaObject::Connection m_connection;
};

#endif
