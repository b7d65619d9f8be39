#include "install/cleanup.h"

#include <memory>

#include "install/config.h"
#include "platform/settings.h"

namespace vexal {

Status cleanup_config(FileSystem& fs) {
  const std::unique_ptr<Settings> settings = open_config(fs);
  if (!settings) {
    return Status::config_missing;
  }
  for (const std::string& key : settings->key_names(kStatusSection)) {
    if (!is_status_path_key(key) && !settings->write_integer(kStatusSection, key, 0)) {
      return Status::config_not_written;
    }
  }
  return Status::ok;
}

}  // namespace vexal
