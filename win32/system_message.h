#pragma once
// The system's own text for an error code, as Windows shows it to the user.

#include "win32/windows_api.h"

#include <string>

namespace zelto {

// FormatMessageW's text in UTF-8 without the trailing line end; "Error N" when the system has
// none.
std::string SystemMessage(DWORD error);

}  // namespace zelto
