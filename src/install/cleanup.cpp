#include "install/cleanup.h"

#include <memory>

#include "install/config.h"
#include "platform/settings.h"

namespace vexal {

Status cleanup_config(FileSystem& fs, Reporter& reporter) {
  const std::unique_ptr<Settings> settings = open_config(fs, reporter);
  if (!settings) {
    return Status::config_missing;
  }
  for (const std::string& key : settings->key_names(kStatusSection)) {
    if (!is_status_path_key(key) && !settings->write_integer(kStatusSection, key, 0)) {
      return key_not_written(reporter, key);
    }
  }
  return Status::ok;
}

}  // namespace vexal
