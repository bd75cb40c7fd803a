#include "win32/nut_server.h"

#include <ws2tcpip.h>

#include <chrono>
#include <cstring>
#include <string_view>
#include <utility>

#include "core/nut/nut_limits.h"
#include "core/program/nut_startup.h"
#include "win32/system_message.h"
#include "win32/utf.h"

namespace zelto {
namespace {

using Clock = NutClients::Clock;

constexpr wchar_t kWindowClass[] = L"ZeltoNutServer";
// WSAAsyncSelect's notices: wParam the socket, lParam the event and its error.
constexpr UINT kListenerMessage = WM_APP + 40;
// A connection's notices come as a message of its own among these, picked by its id. Notices
// posted before a socket was closed can still be queued when the system hands its number to the
// next connection; a different message tells them apart, since the ids only grow.
constexpr UINT kConnectionMessages = WM_APP + 0x100;
constexpr UINT kConnectionMessageCount = 0x2000;
constexpr UINT_PTR kIdleTimer = 1;
// A failed-login delay's timer carries the connection's id above this.
constexpr UINT_PTR kHoldTimerBase = 0x10000;

// What one read takes from a connection. A connection held back is not read at all, so a client
// that sends meanwhile is slowed by TCP, not by the program's memory.
constexpr int kReadChunk = 4096;

// Closes at once, with a reset rather than the orderly end: nothing unsent is kept for it.
void Abort(SOCKET socket) {
    const LINGER linger{1, 0};
    setsockopt(socket, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&linger),
               sizeof linger);
    closesocket(socket);
}

std::string PeerAddress(SOCKET socket) {
    sockaddr_storage peer{};
    int length = sizeof peer;
    if (getpeername(socket, reinterpret_cast<sockaddr*>(&peer), &length) != 0) {
        return "?";
    }
    char text[INET6_ADDRSTRLEN] = {};
    if (peer.ss_family == AF_INET6) {
        const auto& v6 = reinterpret_cast<const sockaddr_in6&>(peer);
        // One address counts once, however it reached the server.
        if (IN6_IS_ADDR_V4MAPPED(&v6.sin6_addr)) {
            in_addr v4{};
            std::memcpy(&v4, &v6.sin6_addr.s6_addr[12], sizeof v4);
            inet_ntop(AF_INET, &v4, text, sizeof text);
        } else {
            inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof text);
        }
    } else {
        const auto& v4 = reinterpret_cast<const sockaddr_in&>(peer);
        inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text);
    }
    return text;
}

UINT ConnectionMessage(NutClients::Id id) {
    return kConnectionMessages + static_cast<UINT>(id % kConnectionMessageCount);
}

// ::1 on a system without IPv6.
bool NoIpv6Loopback(const std::string& address, int error) {
    return address == "::1" && (error == WSAEAFNOSUPPORT || error == WSAEADDRNOTAVAIL ||
                                error == WSAEPROTONOSUPPORT || error == EAI_FAMILY);
}

}  // namespace

NutServer::NutServer(NutSettings settings, NutFeed& feed)
    : feed_(feed), clients_(std::move(settings), ProgramVersion(), feed.Snapshot()) {
    WSADATA data{};
    winsock_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    if (!GetClassInfoExW(instance, kWindowClass, &windowClass)) {
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = &NutServer::Procedure;
        windowClass.hInstance = instance;
        windowClass.lpszClassName = kWindowClass;
        RegisterClassExW(&windowClass);
    }
    // Message-only: never shown, never enumerated, only there to receive the sockets' notices.
    window_ =
        CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, this);
    if (window_ != nullptr) {
        SetTimer(window_, kIdleTimer, 1000, nullptr);
    }
    feed_.SetServerClients(&clients_);
}

NutServer::~NutServer() {
    feed_.SetServerClients(nullptr);
    for (auto& [id, connection] : connections_) {
        Abort(connection.socket);
    }
    for (const SOCKET listener : listeners_) {
        closesocket(listener);
    }
    if (window_ != nullptr) {
        DestroyWindow(window_);
    }
    if (winsock_) {
        WSACleanup();
    }
}

std::unique_ptr<NutServer> NutServer::Start(Settings& settings, ErrorReporter& errors,
                                            NutFeed& feed) {
    return StartNutServer<NutServer>(settings, errors, feed);
}

std::vector<std::string> NutServer::Listen() {
    std::vector<std::string> failures;
    const NutSettings& settings = clients_.Settings();
    for (const std::string& text : settings.listen) {
        const std::string port = std::to_string(settings.port);
        const auto failed = [&](int error) {
            if (!NoIpv6Loopback(text, error)) {
                failures.push_back(NutEndpointText(text, settings.port) + " (" +
                                   SystemMessage(static_cast<DWORD>(error)) + ")");
            }
        };
        if (!winsock_ || window_ == nullptr) {
            failed(winsock_ ? static_cast<int>(GetLastError()) : WSASYSNOTREADY);
            continue;
        }
        addrinfo hints{};
        hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV | AI_PASSIVE;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_protocol = IPPROTO_TCP;
        addrinfo* found = nullptr;
        const int resolved = getaddrinfo(text.c_str(), port.c_str(), &hints, &found);
        if (resolved != 0 || found == nullptr) {
            failed(resolved != 0 ? resolved : WSAEINVAL);
            continue;
        }
        const std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> info(found, &freeaddrinfo);
        const SOCKET listener = socket(found->ai_family, SOCK_STREAM, IPPROTO_TCP);
        if (listener == INVALID_SOCKET) {
            failed(WSAGetLastError());
            continue;
        }
        // No other program may take over the port while this one listens on it.
        const BOOL on = TRUE;
        setsockopt(listener, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on),
                   sizeof on);
        if (found->ai_family == AF_INET6) {
            setsockopt(listener, IPPROTO_IPV6, IPV6_V6ONLY, reinterpret_cast<const char*>(&on),
                       sizeof on);
        }
        // WSAAsyncSelect makes the socket non-blocking, and the connections it accepts too.
        if (bind(listener, found->ai_addr, static_cast<int>(found->ai_addrlen)) != 0 ||
            listen(listener, SOMAXCONN) != 0 ||
            WSAAsyncSelect(listener, window_, kListenerMessage, FD_ACCEPT) != 0) {
            failed(WSAGetLastError());
            closesocket(listener);
            continue;
        }
        listeners_.push_back(listener);
    }
    return failures;
}

int NutServer::Port() const {
    if (listeners_.empty()) {
        return 0;
    }
    sockaddr_storage address{};
    int length = sizeof address;
    if (getsockname(listeners_.front(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return 0;
    }
    const u_short port = address.ss_family == AF_INET6
                             ? reinterpret_cast<const sockaddr_in6&>(address).sin6_port
                             : reinterpret_cast<const sockaddr_in&>(address).sin_port;
    return ntohs(port);
}

LRESULT CALLBACK NutServer::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* server = reinterpret_cast<NutServer*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (server != nullptr && server->window_ == hwnd) {
        return server->HandleMessage(message, wParam, lParam);
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT NutServer::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case kListenerMessage:
            if (WSAGETSELECTEVENT(lParam) == FD_ACCEPT) {
                Accept(static_cast<SOCKET>(wParam));
            }
            return 0;
        case WM_TIMER:
            if (wParam == kIdleTimer) {
                DropIdle();
            } else if (wParam > kHoldTimerBase) {
                KillTimer(window_, wParam);
                Resume(static_cast<Id>(wParam - kHoldTimerBase));
            }
            return 0;
        default:
            if (message >= kConnectionMessages &&
                message < kConnectionMessages + kConnectionMessageCount) {
                SocketEvent(message, static_cast<SOCKET>(wParam), WSAGETSELECTEVENT(lParam),
                            WSAGETSELECTERROR(lParam));
                return 0;
            }
            return DefWindowProcW(window_, message, wParam, lParam);
    }
}

void NutServer::Accept(SOCKET listener) {
    for (;;) {
        const SOCKET socket = accept(listener, nullptr, nullptr);
        if (socket == INVALID_SOCKET) {
            return;
        }
        auto id = clients_.Open(PeerAddress(socket), Clock::now());
        if (!id && SweepEnded()) {
            id = clients_.Open(PeerAddress(socket), Clock::now());
        }
        if (!id || WSAAsyncSelect(socket, window_, ConnectionMessage(*id),
                                  FD_READ | FD_WRITE | FD_CLOSE) != 0) {
            // Over the limits: closed before a byte is read.
            if (id) {
                clients_.Close(*id);
            }
            Abort(socket);
            continue;
        }
        connections_[*id].socket = socket;
        ids_[socket] = *id;
    }
}

void NutServer::SocketEvent(UINT message, SOCKET socket, WORD event, WORD error) {
    const auto found = ids_.find(socket);
    if (found == ids_.end() || ConnectionMessage(found->second) != message) {
        // A notice posted before the connection was closed.
        return;
    }
    const Id id = found->second;
    if (error != 0) {
        Drop(id);
        return;
    }
    switch (event) {
        case FD_READ:
            // One chunk a notice: Winsock posts another while data is left, so one busy client
            // cannot keep the loop from the others.
            Read(id);
            break;
        case FD_WRITE:
            Send(id);
            break;
        case FD_CLOSE:
            // The peer is done sending: what it sent before is still answered.
            while (Read(id)) {
            }
            PeerDone(id);
            break;
        default:
            break;
    }
}

bool NutServer::Read(Id id) {
    const Connection* connection = Find(id);
    if (connection == nullptr || clients_.Held(id) || connection->closeWhenSent) {
        return false;
    }
    char bytes[kReadChunk];
    const int got = recv(connection->socket, bytes, sizeof bytes, 0);
    if (got == 0) {
        // The end of the peer's stream may be read before its FD_CLOSE comes, and Wine then
        // posts none: the connection would go on counting against the limits until idle.
        PeerDone(id);
        return false;
    }
    if (got < 0) {
        if (WSAGetLastError() != WSAEWOULDBLOCK) {
            Drop(id);
        }
        return false;
    }
    const NutOutput output =
        clients_.Receive(id, std::string_view(bytes, static_cast<std::size_t>(got)), Clock::now());
    return Deliver(id, output);
}

bool NutServer::Deliver(Id id, const NutOutput& output) {
    for (const std::string& notice : output.notices) {
        OutputDebugStringW(Widen(notice + "\n").c_str());
    }
    Connection* connection = Find(id);
    if (connection == nullptr) {
        return false;
    }
    if (!QueueNutOutput(clients_.Limits(), output, connection->unsent, connection->closeWhenSent)) {
        Drop(id);
        return false;
    }
    Send(id);
    if (Find(id) == nullptr || connection->closeWhenSent) {
        return false;
    }
    if (output.hold) {
        SetTimer(window_, kHoldTimerBase + static_cast<UINT_PTR>(id),
                 static_cast<UINT>(clients_.Limits().failedLoginDelayMs), nullptr);
        return false;
    }
    return true;
}

void NutServer::Send(Id id) {
    Connection* connection = Find(id);
    if (connection == nullptr) {
        return;
    }
    while (!connection->unsent.empty()) {
        const int sent = send(connection->socket, connection->unsent.data(),
                              static_cast<int>(connection->unsent.size()), 0);
        if (sent == SOCKET_ERROR) {
            if (WSAGetLastError() != WSAEWOULDBLOCK) {
                Drop(id);
            }
            // The rest goes on FD_WRITE.
            return;
        }
        connection->unsent.erase(0, static_cast<std::size_t>(sent));
    }
    if (connection->closeWhenSent && !clients_.Held(id)) {
        const SOCKET socket = connection->socket;
        clients_.Close(id);
        ids_.erase(socket);
        connections_.erase(id);
        shutdown(socket, SD_SEND);
        closesocket(socket);
    }
}

void NutServer::PeerDone(Id id) {
    Connection* connection = Find(id);
    if (connection == nullptr) {
        return;
    }
    connection->closeWhenSent = true;
    // A held reply follows when the delay is over, and the connection closes then.
    if (!clients_.Held(id)) {
        Send(id);
    }
}

bool NutServer::SweepEnded() {
    // Wine does not always post FD_CLOSE for a peer that closed, and such a connection would count
    // against the limits until it idles out. Before one is turned away, the ones it is counted
    // against are asked: an empty peek at the end of the stream means the peer is gone.
    std::vector<Id> ended;
    for (const auto& [id, connection] : connections_) {
        char byte = 0;
        if (recv(connection.socket, &byte, 1, MSG_PEEK) == 0) {
            ended.push_back(id);
        }
    }
    for (const Id id : ended) {
        PeerDone(id);
    }
    return !ended.empty();
}

void NutServer::Resume(Id id) {
    Connection* connection = Find(id);
    if (connection == nullptr) {
        return;
    }
    const bool peerDone = connection->closeWhenSent;
    connection->closeWhenSent = false;
    if (!Deliver(id, clients_.Resume(id, Clock::now()))) {
        return;
    }
    if (peerDone) {
        while (Read(id)) {
        }
        if (Connection* still = Find(id)) {
            still->closeWhenSent = true;
            Send(id);
        }
        return;
    }
    // What arrived meanwhile waits in the socket, and no FD_READ comes for it until it is read.
    while (Read(id)) {
    }
}

void NutServer::Drop(Id id) {
    clients_.Close(id);
    const auto found = connections_.find(id);
    if (found == connections_.end()) {
        return;
    }
    const SOCKET socket = found->second.socket;
    KillTimer(window_, kHoldTimerBase + static_cast<UINT_PTR>(id));
    ids_.erase(socket);
    connections_.erase(found);
    Abort(socket);
}

void NutServer::DropIdle() {
    for (const Id id : clients_.Idle(Clock::now())) {
        Drop(id);
    }
}

NutServer::Connection* NutServer::Find(Id id) {
    const auto found = connections_.find(id);
    return found == connections_.end() ? nullptr : &found->second;
}

}  // namespace zelto
