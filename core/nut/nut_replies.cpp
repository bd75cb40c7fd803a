#include "core/nut/nut_replies.h"

#include "core/nut/nut_text.h"

namespace zelto {
namespace {

std::string_view ErrorCode(NutError error) {
    switch (error) {
        case NutError::AccessDenied:
            return "ACCESS-DENIED";
        case NutError::UnknownUps:
            return "UNKNOWN-UPS";
        case NutError::VarNotSupported:
            return "VAR-NOT-SUPPORTED";
        case NutError::CmdNotSupported:
            return "CMD-NOT-SUPPORTED";
        case NutError::InvalidArgument:
            return "INVALID-ARGUMENT";
        case NutError::FeatureNotSupported:
            return "FEATURE-NOT-SUPPORTED";
        case NutError::FeatureNotConfigured:
            return "FEATURE-NOT-CONFIGURED";
        case NutError::DriverNotConnected:
            return "DRIVER-NOT-CONNECTED";
        case NutError::DataStale:
            return "DATA-STALE";
        case NutError::AlreadyLoggedIn:
            return "ALREADY-LOGGED-IN";
        case NutError::AlreadySetPassword:
            return "ALREADY-SET-PASSWORD";
        case NutError::AlreadySetUsername:
            return "ALREADY-SET-USERNAME";
        case NutError::UsernameRequired:
            return "USERNAME-REQUIRED";
        case NutError::PasswordRequired:
            return "PASSWORD-REQUIRED";
        case NutError::UnknownCommand:
            return "UNKNOWN-COMMAND";
    }
    return "UNKNOWN-COMMAND";
}

}  // namespace

std::string NutErrorLine(NutError error) {
    std::string line = "ERR ";
    line += ErrorCode(error);
    line += '\n';
    return line;
}

std::string NutVersionLine(std::string_view version) {
    std::string line = "UPS Zelto NUT server ";
    // A version with spaces or odd characters would shift the word clients look for.
    line += IsNutName(version) ? version : std::string_view("unknown");
    line += " - built-in read-only NUT server\n";
    return line;
}

std::string NutHelpLine() {
    return "Commands: HELP VER PROTVER GET LIST SET INSTCMD LOGIN LOGOUT USERNAME PASSWORD "
           "STARTTLS\n";
}

}  // namespace zelto
