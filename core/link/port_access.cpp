#include "core/link/port_access.h"

namespace zelto {

std::string PortAccessDeniedText(Language language, const std::string& path,
                                 const std::string& group) {
    return Text(language, TextId::PortAccessDenied, {path}) +
           (group.empty() ? std::string(Text(language, TextId::PortAccessAskAdmin))
                          : Text(language, TextId::PortAccessGroup, {group})) +
           std::string(Text(language, TextId::PortAccessUntil));
}

}  // namespace zelto
