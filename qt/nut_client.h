#pragma once
// The connection to a NUT server whose UPS this program follows, over a non-blocking socket of
// the system's that the tick looks at: connecting, sending and reading never wait. (No Qt
// Network, as for the NUT server: a library loaded for one socket costs memory all day.)

#include <string>

#include "core/nut/nut_follower.h"
#include "qt/unique_fd.h"

namespace zelto {

class PosixNutClientSocket final : public NutClientSocket {
public:
    void Connect(const std::string& host, int port) override;
    State Current() override;
    std::string Receive(std::size_t limit) override;
    void Send(std::string_view bytes) override;
    void Close() override;

private:
    // Writes what the server has not taken yet; false when the connection failed.
    bool Flush();

    UniqueFd fd_;
    State state_ = State::Closed;
    std::string unsent_;
};

}  // namespace zelto
