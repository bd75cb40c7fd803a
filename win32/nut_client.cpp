#include "win32/nut_client.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

#include "win32/utf.h"

namespace zelto {
namespace {

// What one recv or send call moves at most; Receive and Flush go round until done.
constexpr std::size_t kChunk = 16 * 1024;

constexpr wchar_t kWindowClass[] = L"ZeltoNutClient";
// WSAAsyncSelect's notices: wParam the socket, lParam the event and its error.
constexpr UINT kSocketMessage = WM_APP + 1;

bool WouldBlock() {
    return WSAGetLastError() == WSAEWOULDBLOCK;
}

}  // namespace

void WinsockNutClientSocket::OnAnswer(std::function<void()> call) {
    onAnswer_ = std::move(call);
    if (window_ || !onAnswer_) {
        return;
    }
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &WinsockNutClientSocket::Procedure;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kWindowClass;
    // Fails harmlessly for every socket after the first: the class is the same.
    RegisterClassExW(&windowClass);
    // Message-only: never shown, only there for the notices to reach the program's message loop.
    window_.reset(CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  instance, this));
}

LRESULT CALLBACK WinsockNutClientSocket::Procedure(HWND hwnd, UINT message, WPARAM wParam,
                                                   LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<WinsockNutClientSocket*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (message != kSocketMessage || self == nullptr) {
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    // A notice still queued from a closed socket is dropped; one whose number the system gave to
    // the next socket at most makes the follower read early and find nothing.
    if (static_cast<SOCKET>(wParam) == self->socket_.get() && self->awaitingAnswer_ &&
        self->onAnswer_) {
        self->awaitingAnswer_ = false;
        self->onAnswer_();
    }
    return 0;
}

void WinsockNutClientSocket::Connect(const std::string& host, int port) {
    Close();
    if (!winsock_.Ready() || host.empty() || port < 1 || port > 65535) {
        return;
    }
    const std::wstring name = Widen(host);
    const std::wstring service = std::to_wstring(port);
    // An address is taken as it is, without asking the resolver anything.
    candidates_ = Resolve(name, service, AI_NUMERICHOST);
    if (!candidates_.empty()) {
        next_ = 0;
        TryNext();
        return;
    }
    // A name is looked up on a thread of its own: a resolver that cannot reach its server (the
    // switch went down with the mains) takes seconds, which the tick must not wait for. Detached,
    // a lookup outlasting the connection (or the program) holds only its own state.
    lookup_ = std::make_shared<Lookup>();
    state_ = State::Connecting;
    std::thread([lookup = lookup_, name, service] {
        std::vector<Candidate> found = Resolve(name, service, 0);
        const std::lock_guard<std::mutex> lock(lookup->mutex);
        lookup->found = std::move(found);
        lookup->done = true;
    }).detach();
}

std::vector<WinsockNutClientSocket::Candidate> WinsockNutClientSocket::Resolve(
    const std::wstring& name, const std::wstring& service, int flags) {
    ADDRINFOW hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = flags | AI_NUMERICSERV;
    ADDRINFOW* found = nullptr;
    std::vector<Candidate> candidates;
    if (GetAddrInfoW(name.c_str(), service.c_str(), &hints, &found) != 0) {
        return candidates;
    }
    const std::unique_ptr<ADDRINFOW, decltype(&FreeAddrInfoW)> owner(found, &FreeAddrInfoW);
    for (const ADDRINFOW* info = found; info != nullptr; info = info->ai_next) {
        Candidate candidate;
        if (info->ai_addr == nullptr || info->ai_addrlen > sizeof candidate.address) {
            continue;
        }
        std::memcpy(&candidate.address, info->ai_addr, info->ai_addrlen);
        candidate.length = static_cast<int>(info->ai_addrlen);
        candidates.push_back(candidate);
    }
    return candidates;
}

void WinsockNutClientSocket::TryNext() {
    socket_.reset();
    state_ = State::Closed;
    while (next_ < candidates_.size()) {
        const Candidate& candidate = candidates_[next_++];
        SocketHandle socket(::socket(candidate.address.ss_family, SOCK_STREAM, IPPROTO_TCP));
        u_long nonBlocking = 1;
        if (!socket || ioctlsocket(socket.get(), FIONBIO, &nonBlocking) != 0) {
            continue;
        }
        // Winsock posts again only after a recv, so an answer is one notice however it arrives;
        // without the notices the tick still reads everything, a second later.
        if (window_) {
            WSAAsyncSelect(socket.get(), window_.get(), kSocketMessage, FD_READ | FD_CLOSE);
        }
        // A tick's requests go out at once, not held back until the last one is acknowledged.
        const BOOL on = TRUE;
        setsockopt(socket.get(), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on),
                   sizeof on);
        const bool made =
            ::connect(socket.get(), reinterpret_cast<const sockaddr*>(&candidate.address),
                      candidate.length) == 0;
        if (made || WouldBlock()) {
            socket_ = std::move(socket);
            state_ = made ? State::Connected : State::Connecting;
            return;
        }
    }
    candidates_.clear();
}

void WinsockNutClientSocket::SeeConnecting() {
    fd_set writable;
    fd_set failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(socket_.get(), &writable);
    FD_SET(socket_.get(), &failed);
    timeval noWait{0, 0};
    const int ready = select(0, nullptr, &writable, &failed, &noWait);
    if (ready == 0) {
        return;
    }
    int error = 0;
    if (ready != SOCKET_ERROR && !FD_ISSET(socket_.get(), &failed)) {
        int length = sizeof error;
        if (getsockopt(socket_.get(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error),
                       &length) != 0) {
            error = WSAGetLastError();
        }
    }
    if (ready == SOCKET_ERROR || FD_ISSET(socket_.get(), &failed) || error != 0) {
        // Refused or unreachable there: the host's other addresses may still answer.
        TryNext();
        return;
    }
    state_ = State::Connected;
    candidates_.clear();
    Flush();
}

NutClientSocket::State WinsockNutClientSocket::Current() {
    if (lookup_) {
        std::unique_lock<std::mutex> lock(lookup_->mutex);
        if (!lookup_->done) {
            return state_;
        }
        candidates_ = std::move(lookup_->found);
        lock.unlock();
        lookup_.reset();
        next_ = 0;
        TryNext();
    }
    if (state_ == State::Connecting && socket_) {
        SeeConnecting();
    }
    if (state_ == State::Connected) {
        Flush();
        if (!ended_) {
            char byte = 0;
            const int peeked = recv(socket_.get(), &byte, 1, MSG_PEEK);
            ended_ = peeked == 0 || (peeked == SOCKET_ERROR && !WouldBlock());
        }
        if (ended_) {
            Drop();
        }
    }
    return state_;
}

std::string WinsockNutClientSocket::Receive(std::size_t limit) {
    std::string got;
    if (state_ != State::Connected || ended_) {
        return got;
    }
    awaitingAnswer_ = true;
    while (got.size() < limit) {
        const std::size_t had = got.size();
        const std::size_t want = std::min(limit - had, kChunk);
        got.resize(had + want);
        const int read = recv(socket_.get(), got.data() + had, static_cast<int>(want), 0);
        got.resize(had + static_cast<std::size_t>(std::max(read, 0)));
        if (read > 0) {
            continue;
        }
        // What came before the end is handed out now; Current() tells of the end next.
        ended_ = read == 0 || !WouldBlock();
        break;
    }
    return got;
}

void WinsockNutClientSocket::Send(std::string_view bytes) {
    if (state_ == State::Closed || ended_) {
        return;
    }
    unsent_.append(bytes);
    if (state_ == State::Connected) {
        Flush();
    }
    if (unsent_.size() > kNutClientMostUnsent) {
        // The server stopped reading: holding more for it would only grow without end.
        Drop();
    }
}

void WinsockNutClientSocket::Flush() {
    while (!unsent_.empty() && !ended_) {
        const int sent = send(socket_.get(), unsent_.data(),
                              static_cast<int>(std::min(unsent_.size(), kChunk)), 0);
        if (sent > 0) {
            unsent_.erase(0, static_cast<std::size_t>(sent));
        } else if (sent == SOCKET_ERROR && WouldBlock()) {
            break;
        } else {
            ended_ = true;
            unsent_.clear();
        }
    }
}

void WinsockNutClientSocket::Close() {
    lookup_.reset();
    if (state_ == State::Connected && !ended_) {
        // The last words (a LOGOUT) get one more try, then what the server sent is read away:
        // closing over unread data would reset the connection and could lose those words.
        Flush();
        Receive(kNutReadPerTick);
        shutdown(socket_.get(), SD_SEND);
    }
    Drop();
}

void WinsockNutClientSocket::Drop() {
    socket_.reset();
    state_ = State::Closed;
    candidates_.clear();
    next_ = 0;
    unsent_.clear();
    ended_ = false;
    awaitingAnswer_ = false;
}

}  // namespace zelto
