#include "install/cleanup.h"

#include <memory>

#include "driver/error.h"
#include "install/config.h"
#include "platform/settings.h"

namespace vexal {

int cleanup_config(FileSystem& fs) {
  const std::unique_ptr<Settings> settings = open_config(fs);
  if (!settings) {
    return kConfigMissing;
  }
  for (const std::string& key : settings->key_names(kStatusSection)) {
    if (!is_status_path_key(key)) {
      settings->write_integer(kStatusSection, key, 0);
    }
  }
  return kOk;
}

}  // namespace vexal
