// The settings service of Windows itself: the private-profile functions over an INI
// file, used when the settings file lives on the native file system.
#pragma once

#include <memory>
#include <string>

#include "platform/settings.h"

namespace vexal {

// The settings of the file at an absolute path; the caller has checked that it is readable.
std::unique_ptr<Settings> open_profile_settings(const std::string& path);

}  // namespace vexal
