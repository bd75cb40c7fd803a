#include "core/nut/nut_queries.h"

#include <string>

#include "core/nut/nut_text.h"
#include "core/nut/nut_variables.h"

namespace zelto {
namespace {

// Answered for any well-formed UPS name and whatever the readings, as upsd does.
std::optional<std::string> ServerVariable(const NutServerView& view, std::string_view name) {
    if (NutEqualNoCase(name, "server.version")) {
        return std::string(view.version);
    }
    if (NutEqualNoCase(name, "server.info")) {
        std::string info = "UPS Zelto NUT server ";
        info += view.version;
        return info;
    }
    return std::nullopt;
}

std::string GetVar(const NutServerView& view, const std::string& ups, const std::string& name) {
    if (IsNutName(ups)) {
        if (const auto value = ServerVariable(view, name)) {
            return NutReplyLine("VAR", ups, name, NutSafeValue(*value));
        }
    }
    if (const auto error = NutCheckUps(view, ups, true)) {
        return NutErrorLine(*error);
    }
    const auto variable = FindNutVariable(view.snapshot, name);
    if (!variable) {
        return NutErrorLine(NutError::VarNotSupported);
    }
    return NutReplyLine("VAR", ups, name, variable->value);
}

std::string GetType(const NutServerView& view, const std::string& ups, const std::string& name) {
    if (const auto error = NutCheckUps(view, ups, true)) {
        return NutErrorLine(*error);
    }
    if (!FindNutVariable(view.snapshot, name)) {
        return NutErrorLine(NutError::VarNotSupported);
    }
    // Nothing here is writable, enumerated or ranged, and upsd calls every such variable a
    // NUMBER, ups.status included.
    return "TYPE " + ups + " " + name + " NUMBER\n";
}

// DESC and CMDDESC echo the name without checking it exists (a Windows client asks for every
// variable), so it must at least be one word.
std::string GetDescription(const NutServerView& view, std::string_view kind, const std::string& ups,
                           const std::string& name, std::string_view text) {
    if (const auto error = NutCheckUps(view, ups, true)) {
        return NutErrorLine(*error);
    }
    if (!IsNutName(name)) {
        return NutErrorLine(NutError::InvalidArgument);
    }
    return NutReplyLine(kind, ups, name, text);
}

std::string GetUpsDescription(const NutServerView& view, const std::string& ups) {
    if (const auto error = NutCheckUps(view, ups, false)) {
        return NutErrorLine(*error);
    }
    const std::string description = NutSafeValue(view.upsDescription);
    return "UPSDESC " + ups + " " + NutQuoted(description.empty() ? "Unavailable" : description) +
           "\n";
}

std::string GetNumLogins(const NutServerView& view, const std::string& ups) {
    if (const auto error = NutCheckUps(view, ups, true)) {
        return NutErrorLine(*error);
    }
    return "NUMLOGINS " + ups + " " + std::to_string(view.loginCount) + "\n";
}

}  // namespace

std::string NutAnswerGet(const NutServerView& view, const NutArgs& args) {
    if (args.empty()) {
        return NutErrorLine(NutError::InvalidArgument);
    }
    const std::string& what = args[0];
    const std::size_t count = args.size();
    if (NutEqualNoCase(what, "TRACKING")) {
        return count == 1 ? "OFF\n" : NutErrorLine(NutError::FeatureNotConfigured);
    }
    if (NutEqualNoCase(what, "UPSDESC") && count >= 2) {
        return GetUpsDescription(view, args[1]);
    }
    if (NutEqualNoCase(what, "NUMLOGINS") && count >= 2) {
        return GetNumLogins(view, args[1]);
    }
    if (count < 3) {
        return NutErrorLine(NutError::InvalidArgument);
    }
    if (NutEqualNoCase(what, "VAR")) {
        return GetVar(view, args[1], args[2]);
    }
    if (NutEqualNoCase(what, "TYPE")) {
        return GetType(view, args[1], args[2]);
    }
    if (NutEqualNoCase(what, "DESC")) {
        return GetDescription(view, "DESC", args[1], args[2], NutVariableDescription(args[2]));
    }
    if (NutEqualNoCase(what, "CMDDESC")) {
        return GetDescription(view, "CMDDESC", args[1], args[2], "Description unavailable");
    }
    return NutErrorLine(NutError::InvalidArgument);
}

}  // namespace zelto
