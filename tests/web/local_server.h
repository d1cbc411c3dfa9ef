#pragma once

#include <QString>
#include <atomic>
#include <chrono>
#include <httplib.h>
#include <thread>

// An HTTP server on a free loopback port for one test, serving from its own thread.
class LocalServer
{
public:
    LocalServer() = default;
    ~LocalServer() { stop(); }

    httplib::Server& http() { return m_server; }

    // Binds 127.0.0.1 on a free port and starts serving; call after adding the handlers.
    void start()
    {
        m_port = m_server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
        // stop() only ends a server that is already listening.
        for (int i = 0; i < 2000 && !m_server.is_running(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

    void stop()
    {
        m_stopping = true;
        if (m_thread.joinable()) {
            m_server.stop();
            m_thread.join();
        }
    }

    QString url(const char* path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(QString::fromUtf8(path));
    }

    // For handlers that hang: sleeps up to ms, but returns as soon as the server stops.
    void sleepUnlessStopping(int ms) const
    {
        for (int waited = 0; waited < ms && !m_stopping; waited += 10)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }

private:
    httplib::Server m_server;
    std::thread m_thread;
    std::atomic<bool> m_stopping { false };
    int m_port = 0;
};
