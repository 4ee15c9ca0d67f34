// The manual's pages, style sheet and pictures (docs/manual) compiled into
// the program that includes this, for serving them without reading files.
#pragma once

#include <cstddef>
#include <string_view>

namespace tavrine::manual {

struct ManualFile {
  std::string_view path;  // relative to docs/manual, "/" separated: "images/main.png"
  const char* contentType;
  const unsigned char* data;
  std::size_t size;
};

const ManualFile* ManualFilesBegin();
const ManualFile* ManualFilesEnd();
// The file at that path, nullptr when the manual has none.
const ManualFile* FindManualFile(std::string_view path);

}  // namespace tavrine::manual
