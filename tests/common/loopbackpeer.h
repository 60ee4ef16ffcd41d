#ifndef GARBWRIGHT_TESTS_LOOPBACKPEER_H
#define GARBWRIGHT_TESTS_LOOPBACKPEER_H

// A scripted TCP peer on 127.0.0.1 for tests of code that talks to the conversion server.
// It runs on a thread of its own; every wait it makes is bounded, so a faulty client fails
// its test instead of hanging it. Built on Boost.Asio, so it serves on Windows as on Linux;
// this header stays free of Boost so that code read by moc may include it.

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// How long any blocking step of a test peer may wait: longer than any bound of the client.
constexpr std::chrono::seconds peerPatience{10};

// The accepted side of one connection, as seen by a peer's behaviour.
class PeerConnection {
public:
    // The accepted socket and the I/O context that runs its steps.
    struct Channel;

    PeerConnection(Channel& channel, std::shared_future<void> released);

    // Reads until the request's line feed; everything read is kept in `received`.
    void readRequest();
    bool send(const std::string& bytes);
    // Ends the reply the way the server does, then keeps everything else the client sends
    // until the client closes.
    void finishReply();
    // Reads until the client closes, without replying.
    void awaitClose();
    // Aborts the connection with a reset instead of an orderly close.
    void reset();
    // Waits, reading nothing, until the test is done with the peer.
    void awaitRelease();
    // Waits at most `wait`; true when the test is done with the peer.
    bool released(std::chrono::milliseconds wait);

    std::string received;

private:
    bool receiveSome();

    Channel& m_channel;
    std::shared_future<void> m_released;
};

class LoopbackPeer {
public:
    using Behaviour = std::function<void(PeerConnection&)>;

    // Serves one connection on a port the system picks.
    explicit LoopbackPeer(Behaviour behaviour);
    // Serves up to `connections` connections, one after another, on the given port, then
    // stops listening.
    LoopbackPeer(Behaviour behaviour, unsigned int port, int connections);
    ~LoopbackPeer();

    LoopbackPeer(const LoopbackPeer&) = delete;
    LoopbackPeer& operator=(const LoopbackPeer&) = delete;

    unsigned int port() const { return m_port; }

    // Every byte the client sent on the first connection, once the peer has finished.
    std::string received();
    // What each connection received so far, in order.
    std::vector<std::string> requests() const;
    // Stops serving; waits for the connection in progress.
    void finish();

private:
    // The listening socket and its I/O context.
    struct Listener;

    void serve(const Behaviour& behaviour, int connections);

    std::unique_ptr<Listener> m_listener;
    unsigned int m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::promise<void> m_release;
    std::shared_future<void> m_released;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_requests;
    std::thread m_thread;
};

// True when something on 127.0.0.1 accepts a connection on the port within `wait`. Boost's
// rather than Qt's sockets: the Windows Qt has no QtNetwork.
bool acceptsConnections(unsigned int port, std::chrono::milliseconds wait);

// A peer that answers like the server: reads the request, sends `reply`, closes.
LoopbackPeer::Behaviour replyWith(std::string reply);
// A peer that answers each request through `answer`.
LoopbackPeer::Behaviour answerWith(std::function<std::string(const std::string& request)> answer);

#endif
