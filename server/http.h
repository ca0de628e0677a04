// The site's static files: which file a request path names, and its type.
#pragma once

#include <string>
#include <string_view>

namespace server {

struct Resolved {
  int status;        // 200, or 400, 403, 404
  std::string file;  // the file to send when 200
};

// root is the site folder, already made absolute and canonical.
Resolved resolve(const std::string& root, std::string_view target);
std::string contentType(const std::string& file);

}  // namespace server
