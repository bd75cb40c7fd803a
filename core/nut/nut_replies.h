#pragma once
// The reply texts of the NUT protocol: error lines and the fixed answers. Every reply line ends
// with a bare LF; clients compare whole lines byte for byte.

#include <string>
#include <string_view>

namespace zelto {

// Only codes NUT itself sends: one Windows client refuses any code it does not know.
enum class NutError {
    AccessDenied,
    UnknownUps,
    VarNotSupported,
    CmdNotSupported,
    InvalidArgument,
    FeatureNotSupported,
    FeatureNotConfigured,
    DriverNotConnected,
    DataStale,
    AlreadyLoggedIn,
    AlreadySetPassword,
    AlreadySetUsername,
    UsernameRequired,
    PasswordRequired,
    UnknownCommand,
};

// "ERR ACCESS-DENIED\n" and so on.
std::string NutErrorLine(NutError error);

// The protocol version NUT 2.8 speaks; answered to NETVER and PROTVER.
inline constexpr std::string_view kNutProtocolVersion = "1.3";

// The VER line. One Windows client takes the fifth word as the server version and refuses to
// connect without one, so the program's version is exactly that word.
std::string NutVersionLine(std::string_view version);

std::string NutHelpLine();

}  // namespace zelto
