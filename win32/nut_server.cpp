#include "win32/nut_server.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <optional>
#include <string_view>
#include <utility>

#include "core/nut/nut_address.h"
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
// The connections' next timeout: a failed-login delay's end, the idle check.
constexpr UINT_PTR kTimeoutTimer = 1;

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
    if (peer.ss_family == AF_INET6) {
        return NutPeerText(reinterpret_cast<const sockaddr_in6&>(peer).sin6_addr.s6_addr, 16);
    }
    const auto& v4 = reinterpret_cast<const sockaddr_in&>(peer).sin_addr;
    return NutPeerText(reinterpret_cast<const std::uint8_t*>(&v4), 4);
}

UINT ConnectionMessage(NutClients::Id id) {
    return kConnectionMessages + static_cast<UINT>(id % kConnectionMessageCount);
}

// One accepted connection's socket. Winsock posts its notices once per change (a read that leaves
// data posts the next), so there is nothing to switch on and off.
class WinsockNutSocket final : public NutSocket {
public:
    WinsockNutSocket(SOCKET socket, std::map<SOCKET, NutClients::Id>& ids)
        : socket_(socket), ids_(ids) {}
    ~WinsockNutSocket() override {
        if (socket_ != INVALID_SOCKET) {
            Close(false);
        }
    }
    WinsockNutSocket(const WinsockNutSocket&) = delete;
    WinsockNutSocket& operator=(const WinsockNutSocket&) = delete;

    NutReceive Receive(std::string& into, std::size_t max) override {
        const std::size_t had = into.size();
        into.resize(had + max);
        const int got = recv(socket_, into.data() + had, static_cast<int>(max), 0);
        into.resize(had + static_cast<std::size_t>(got > 0 ? got : 0));
        if (got > 0) {
            return NutReceive::Data;
        }
        if (got == 0) {
            return NutReceive::Ended;
        }
        return WSAGetLastError() == WSAEWOULDBLOCK ? NutReceive::Nothing : NutReceive::Failed;
    }
    std::optional<std::size_t> Send(std::string_view bytes) override {
        const int sent = send(socket_, bytes.data(), static_cast<int>(bytes.size()), 0);
        if (sent == SOCKET_ERROR) {
            return WSAGetLastError() == WSAEWOULDBLOCK ? std::optional<std::size_t>(0)
                                                       : std::nullopt;
        }
        return static_cast<std::size_t>(sent);
    }
    bool PeerClosed() override {
        char byte = 0;
        return recv(socket_, &byte, 1, MSG_PEEK) == 0;
    }
    void Watch(bool, bool) override {}
    void Close(bool orderly) override {
        // Notices still queued for the socket find no connection, nor one that took its number.
        ids_.erase(socket_);
        if (orderly) {
            shutdown(socket_, SD_SEND);
            closesocket(socket_);
        } else {
            Abort(socket_);
        }
        socket_ = INVALID_SOCKET;
    }

private:
    SOCKET socket_;
    std::map<SOCKET, NutClients::Id>& ids_;
};

}  // namespace

NutServer::NutServer(NutSettings settings, NutFeed& feed)
    : feed_(feed),
      connections_(
          std::move(settings), ProgramVersion(), feed.Snapshot(),
          [](const std::string& notice) { OutputDebugStringW(Widen(notice + "\n").c_str()); }) {
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
    ArmTimer();
    feed_.SetServerClients(&connections_.Clients());
}

NutServer::~NutServer() {
    feed_.SetServerClients(nullptr);
    for (const SOCKET listener : listeners_) {
        closesocket(listener);
    }
    if (window_ != nullptr) {
        DestroyWindow(window_);
    }
}

std::unique_ptr<NutServer> NutServer::Start(Settings& settings, ErrorReporter& errors,
                                            NutFeed& feed) {
    return StartNutServer<NutServer>(settings, errors, feed);
}

int NutServer::ListenOn(const std::string& address, int port) {
    if (!winsock_.Ready() || window_ == nullptr) {
        return winsock_.Ready() ? static_cast<int>(GetLastError()) : WSASYSNOTREADY;
    }
    addrinfo hints{};
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV | AI_PASSIVE;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    const int resolved = getaddrinfo(address.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (resolved != 0 || found == nullptr) {
        return resolved != 0 ? resolved : WSAEINVAL;
    }
    const std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> info(found, &freeaddrinfo);
    const SOCKET listener = socket(found->ai_family, SOCK_STREAM, IPPROTO_TCP);
    if (listener == INVALID_SOCKET) {
        return WSAGetLastError();
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
        const int error = WSAGetLastError();
        closesocket(listener);
        return error;
    }
    listeners_.push_back(listener);
    return 0;
}

std::string NutServer::ErrorText(int error) {
    return SystemMessage(static_cast<DWORD>(error));
}

bool NutServer::NoAddressFamily(int error) {
    return error == WSAEAFNOSUPPORT || error == WSAEADDRNOTAVAIL || error == WSAEPROTONOSUPPORT ||
           error == EAI_FAMILY;
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
            if (wParam == kTimeoutTimer) {
                connections_.Timeout(Clock::now());
                ArmTimer();
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
            break;
        }
        const auto id = connections_.Accept(std::make_unique<WinsockNutSocket>(socket, ids_),
                                            PeerAddress(socket), Clock::now());
        if (!id) {
            continue;
        }
        ids_[socket] = *id;
        if (WSAAsyncSelect(socket, window_, ConnectionMessage(*id),
                           FD_READ | FD_WRITE | FD_CLOSE) != 0) {
            connections_.Failed(*id);
        }
    }
    ArmTimer();
}

void NutServer::SocketEvent(UINT message, SOCKET socket, WORD event, WORD error) {
    const auto found = ids_.find(socket);
    if (found == ids_.end() || ConnectionMessage(found->second) != message) {
        // A notice posted before the connection was closed.
        return;
    }
    const Id id = found->second;
    if (error != 0) {
        connections_.Failed(id);
        return;
    }
    switch (event) {
        case FD_READ:
            connections_.Readable(id, Clock::now());
            break;
        case FD_WRITE:
            connections_.Writable(id);
            break;
        case FD_CLOSE:
            connections_.PeerClosed(id, Clock::now());
            break;
        default:
            break;
    }
    ArmTimer();
}

void NutServer::ArmTimer() {
    if (window_ == nullptr) {
        return;
    }
    const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(
        connections_.NextTimeout() - Clock::now());
    SetTimer(window_, kTimeoutTimer, static_cast<UINT>(std::max<long long>(wait.count(), 1)),
             nullptr);
}

}  // namespace zelto
