#pragma once
// What the user is told when the system does not let them open the chosen port.

#include <string>

#include "core/base/texts.h"

namespace zelto {

// The device's path, and the group whose members may open it (empty when unknown): what is wrong,
// how to put it right, and that the machine is unprotected until then.
std::string PortAccessDeniedText(Language language, const std::string& path,
                                 const std::string& group);

}  // namespace zelto
