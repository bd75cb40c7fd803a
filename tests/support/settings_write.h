#pragma once
// What a settings write says: the error text, or "written" when it went through.

#include <string>
#include <string_view>

#include "core/base/errors.h"
#include "core/base/settings.h"

namespace zelto::test {

inline std::string WriteError(Settings& settings, std::string_view key, std::string_view value) {
    try {
        settings.WriteSetting("UPS", key, value);
    } catch (const Error& e) {
        return e.what();
    }
    return "written";
}

}  // namespace zelto::test
