#pragma once
// The "Проверить" button of the "Сетевой UPS…" dialog: connects to the server, asks LIST UPS and
// says what it found or why not, in a few ticks and never waiting. A connection of its own, so
// the UPS being followed is not disturbed.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/base/texts.h"
#include "core/nut/nut_follow.h"
#include "core/nut/nut_follower.h"
#include "core/nut/nut_line_buffer.h"

namespace zelto {

// A check that has not ended within this many seconds says the server did not answer.
inline constexpr std::int64_t kNetworkUpsCheckSeconds = 5;
// UPS names kept from one answer, however long the server's list.
inline constexpr std::size_t kNetworkUpsCheckMostNames = 32;

class NetworkUpsCheck {
public:
    NetworkUpsCheck(NutClientSocket& socket, Language language)
        : socket_(socket), language_(language) {}
    ~NetworkUpsCheck() { socket_.Close(); }
    NetworkUpsCheck(const NetworkUpsCheck&) = delete;
    NetworkUpsCheck& operator=(const NetworkUpsCheck&) = delete;

    // Starts checking `address`; a check under way is given up.
    void Start(const NutUpsAddress& address, std::int64_t now);
    // One step; the verdict, once, when the check ends.
    std::optional<std::string> Advance(std::int64_t now);
    bool Running() const { return stage_ != Stage::Idle; }

private:
    enum class Stage { Idle, Connecting, Listing };
    std::string End(std::string verdict);
    std::optional<std::string> Read();
    std::string Found() const;

    NutClientSocket& socket_;
    NutUpsAddress address_;
    Stage stage_ = Stage::Idle;
    std::int64_t startedAt_ = 0;
    NutLineBuffer lines_;
    bool listing_ = false;
    std::vector<std::string> names_;
    Language language_;
};

}  // namespace zelto
