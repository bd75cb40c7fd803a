#pragma once
// Winsock for whoever holds sockets: WSAStartup counts its callers, so each owner starts it for
// itself and the library stays up until the last owner is gone, in whatever order they go.

#include "win32/windows_api.h"

#include <winsock2.h>

#include "win32/unique_handle.h"

namespace zelto {

// Started first and cleaned up after every socket of its owner closed: declare it before them.
class WinsockUse {
public:
    WinsockUse() {
        WSADATA data{};
        ready_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    ~WinsockUse() {
        if (ready_) {
            WSACleanup();
        }
    }
    WinsockUse(const WinsockUse&) = delete;
    WinsockUse& operator=(const WinsockUse&) = delete;

    bool Ready() const { return ready_; }

private:
    bool ready_ = false;
};

struct SocketTraits {
    using Handle = SOCKET;
    static Handle Invalid() { return INVALID_SOCKET; }
    static bool Valid(Handle handle) { return handle != INVALID_SOCKET; }
    static void Close(Handle handle) { closesocket(handle); }
};
using SocketHandle = UniqueHandle<SocketTraits>;

}  // namespace zelto
