#include "core/monitor/tray_tip_limit.h"

namespace zelto {
namespace {

bool IsContinuationByte(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0u) == 0x80u;
}

}  // namespace

std::string LimitTrayTip(std::string_view tip) {
    std::size_t characters = 0;
    for (std::size_t i = 0; i < tip.size(); ++i) {
        if (i == 0 || !IsContinuationByte(tip[i])) {
            if (characters == kTrayTipMaxChars) {
                return std::string(tip.substr(0, i));
            }
            ++characters;
        }
    }
    return std::string(tip);
}

}  // namespace zelto
