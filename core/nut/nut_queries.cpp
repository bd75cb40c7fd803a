#include "core/nut/nut_queries.h"

#include "core/nut/nut_text.h"

namespace zelto {

std::optional<NutError> NutCheckUps(const NutServerView& view, std::string_view ups,
                                    bool needsData) {
    if (!NutEqualNoCase(ups, view.upsName)) {
        return NutError::UnknownUps;
    }
    if (!needsData) {
        return std::nullopt;
    }
    if (view.snapshot.link == NutLink::NotConnected) {
        return NutError::DriverNotConnected;
    }
    if (view.snapshot.link == NutLink::Stale || !view.snapshot.record) {
        return NutError::DataStale;
    }
    return std::nullopt;
}

std::string NutReplyLine(std::string_view kind, std::string_view ups, std::string_view name,
                         std::string_view value) {
    std::string line(kind);
    line += ' ';
    line += ups;
    if (!name.empty()) {
        line += ' ';
        line += name;
    }
    line += ' ';
    line += NutQuoted(value);
    line += '\n';
    return line;
}

}  // namespace zelto
