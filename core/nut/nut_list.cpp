#include "core/nut/nut_queries.h"

#include <string>

#include "core/nut/nut_text.h"
#include "core/nut/nut_variables.h"

namespace zelto {
namespace {

// A BEGIN/END pair around the body; `subject` is what follows "LIST" on both lines.
std::string Wrapped(const std::string& subject, const std::string& body) {
    return "BEGIN LIST " + subject + "\n" + body + "END LIST " + subject + "\n";
}

std::string ListUps(const NutServerView& view) {
    const std::string description = NutSafeValue(view.upsDescription);
    return Wrapped("UPS",
                   NutReplyLine("UPS", view.upsName, "",
                                description.empty() ? "Description unavailable" : description));
}

std::string ListVar(const NutServerView& view, const std::string& ups) {
    std::string body;
    for (const NutVariable& variable : NutVariables(view.snapshot)) {
        body += NutReplyLine("VAR", ups, variable.name, variable.value);
    }
    return Wrapped("VAR " + ups, body);
}

// An address goes out unquoted, so anything that is not one plain word is left out.
bool IsAddressWord(std::string_view address) {
    return !address.empty() && address.size() <= kNutMaxNameLength &&
           NutSafeValue(address) == address && address.find(' ') == std::string_view::npos;
}

std::string ListClient(const NutServerView& view, const std::string& ups) {
    std::string body;
    for (const std::string& address : view.loginAddresses) {
        if (IsAddressWord(address)) {
            body += "CLIENT " + std::string(view.upsName) + " " + address + "\n";
        }
    }
    return Wrapped("CLIENT " + ups, body);
}

// LIST ENUM and LIST RANGE: the variable must exist; none has choices or limits.
std::string ListOfVariable(const NutServerView& view, const std::string& kind,
                           const std::string& ups, const std::string& name) {
    if (!FindNutVariable(view.snapshot, name)) {
        return NutErrorLine(NutError::VarNotSupported);
    }
    return Wrapped(kind + " " + ups + " " + name, "");
}

}  // namespace

std::string NutAnswerList(const NutServerView& view, const NutArgs& args) {
    if (args.empty()) {
        return NutErrorLine(NutError::InvalidArgument);
    }
    const std::string& what = args[0];
    if (NutEqualNoCase(what, "UPS")) {
        return ListUps(view);
    }
    if (args.size() < 2) {
        return NutErrorLine(NutError::InvalidArgument);
    }
    const std::string& ups = args[1];
    const bool byVariable = NutEqualNoCase(what, "ENUM") || NutEqualNoCase(what, "RANGE");
    const bool known = byVariable || NutEqualNoCase(what, "VAR") || NutEqualNoCase(what, "RW") ||
                       NutEqualNoCase(what, "CMD") || NutEqualNoCase(what, "CLIENT");
    if (!known || (byVariable && args.size() < 3)) {
        return NutErrorLine(NutError::InvalidArgument);
    }
    // LIST CLIENT, like LIST UPS, answers whatever the readings.
    const bool client = NutEqualNoCase(what, "CLIENT");
    if (const auto error = NutCheckUps(view, ups, !client)) {
        return NutErrorLine(*error);
    }
    if (client) {
        return ListClient(view, ups);
    }
    if (NutEqualNoCase(what, "VAR")) {
        return ListVar(view, ups);
    }
    if (byVariable) {
        return ListOfVariable(view, NutEqualNoCase(what, "ENUM") ? "ENUM" : "RANGE", ups, args[2]);
    }
    return Wrapped(std::string(NutEqualNoCase(what, "RW") ? "RW" : "CMD") + " " + ups, "");
}

}  // namespace zelto
