#pragma once
// A receipt printer on a loopback port that answers each status request (DLE EOT 1) as it is
// told, request by request: a status byte, other bytes, silence, or the connection closed as
// soon as the document starts to arrive. It keeps what it receives until the other side closes.
#include <QByteArray>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace opstest {

class PrinterDouble {
public:
    struct Reply {
        enum class Kind { Bytes, Silent, CloseMidDocument } kind = Kind::Bytes;
        QByteArray bytes;
    };
    static Reply status(unsigned char byte) { return {Reply::Kind::Bytes, QByteArray(1, static_cast<char>(byte))}; }
    static Reply bytes(const QByteArray& text) { return {Reply::Kind::Bytes, text}; }
    static Reply silent() { return {Reply::Kind::Silent, {}}; }
    static Reply closeMidDocument() { return {Reply::Kind::CloseMidDocument, {}}; }

    static constexpr unsigned char kOnLine = 0x12;
    static constexpr unsigned char kOffLine = 0x1a;  // paper out or cover open stop it too

    // One reply per request in order; requests beyond them get the last one.
    explicit PrinterDouble(std::vector<Reply> replies) : m_replies(std::move(replies)) {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), size);
        ::listen(m_listener, 4);
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &size);
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { serve(); });
    }
    ~PrinterDouble() {
        if (m_thread.joinable()) m_thread.join();
        ::close(m_listener);
    }
    PrinterDouble(const PrinterDouble&) = delete;
    PrinterDouble& operator=(const PrinterDouble&) = delete;

    int port() const { return m_port; }
    QByteArray received() {
        if (m_thread.joinable()) m_thread.join();
        return m_received;
    }

private:
    const Reply& replyTo(std::size_t request) const { return m_replies[std::min(request, m_replies.size() - 1)]; }

    void serve() {
        pollfd waiting{m_listener, POLLIN, 0};
        if (::poll(&waiting, 1, 15000) != 1) return;
        const int fd = ::accept(m_listener, nullptr, nullptr);
        const QByteArray request("\x10\x04\x01", 3);
        std::size_t answered = 0;
        for (;;) {
            pollfd readable{fd, POLLIN, 0};
            char buffer[4096];
            if (::poll(&readable, 1, 15000) != 1) break;
            const ssize_t n = ::read(fd, buffer, answered > 0 ? 16 : sizeof buffer);
            if (n <= 0) break;
            m_received.append(buffer, n);
            if (answered > 0 && replyTo(answered).kind == Reply::Kind::CloseMidDocument) break;
            for (auto asked = static_cast<std::size_t>(m_received.count(request)); answered < asked; ++answered) {
                const Reply& reply = replyTo(answered);
                if (reply.kind == Reply::Kind::Bytes &&
                    ::write(fd, reply.bytes.constData(), static_cast<size_t>(reply.bytes.size())) != reply.bytes.size())
                    break;
            }
        }
        ::close(fd);
    }

    std::vector<Reply> m_replies;
    int m_listener = -1;
    int m_port = 0;
    std::thread m_thread;
    QByteArray m_received;
};

}  // namespace opstest
