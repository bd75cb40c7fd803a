#pragma once
// Errors reach the user through one reporter; every event handler and timer tick runs inside
// RunGuarded so that an error ends that handler only, never the program.

#include <exception>
#include <string>
#include <utility>

#include "core/base/errors.h"

namespace zelto {

class ErrorReporter {
public:
    virtual ~ErrorReporter() = default;
    // Shows the text (MessageBoxText is applied by the front end). Must not block the caller:
    // polling goes on while a box is open, and at most one box is open at a time.
    virtual void Report(const std::string& text) = 0;
};

// Runs one handler. Returns false when an error ended it early (the error has been reported).
template <class Handler>
bool RunGuarded(ErrorReporter& reporter, Handler&& handler) {
    try {
        std::forward<Handler>(handler)();
        return true;
    } catch (const Error& e) {
        reporter.Report(e.what());
    } catch (const std::exception& e) {
        reporter.Report(e.what());
    }
    return false;
}

}  // namespace zelto
