# cmake -DDIR=docs/manual -DOUT=manual_files.cpp -P embed_manual.cmake
# Writes every page, style sheet and picture under DIR as a byte array with
# its path and content type (manual_files.h declares the lookup).
file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${DIR}
  ${DIR}/*.htm ${DIR}/*.css ${DIR}/*.png)
list(SORT files)
set(arrays "")
set(table "")
set(i 0)
foreach(f IN LISTS files)
  file(READ ${DIR}/${f} hex HEX)
  string(LENGTH "${hex}" n)
  math(EXPR bytes "${n} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," hex "${hex}")
  # Lines of 32 bytes.
  string(REGEX REPLACE "((0x..,){32})" "\\1\n" hex "${hex}")
  if(f MATCHES "\\.htm$")
    set(type "text/html; charset=UTF-8")
  elseif(f MATCHES "\\.css$")
    set(type "text/css; charset=UTF-8")
  else()
    set(type "image/png")
  endif()
  string(APPEND arrays "const unsigned char k${i}[] = {\n${hex}0};\n")
  string(APPEND table "    {\"${f}\", \"${type}\", k${i}, ${bytes}},\n")
  math(EXPR i "${i} + 1")
endforeach()
file(WRITE ${OUT}.tmp
"// Generated from docs/manual by docs/embed_manual.cmake. Do not edit.
#include \"manual_files.h\"

#include <algorithm>
#include <iterator>

namespace tavrine::manual {
namespace {
${arrays}
const ManualFile kFiles[] = {
${table}};
}  // namespace

const ManualFile* ManualFilesBegin() { return std::begin(kFiles); }
const ManualFile* ManualFilesEnd() { return std::end(kFiles); }

const ManualFile* FindManualFile(std::string_view path) {
  const auto it = std::find_if(std::begin(kFiles), std::end(kFiles),
                               [&](const ManualFile& f) { return f.path == path; });
  return it == std::end(kFiles) ? nullptr : it;
}

}  // namespace tavrine::manual
")
# Only a changed table touches the file, so nothing rebuilds for nothing.
execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different ${OUT}.tmp ${OUT})
file(REMOVE ${OUT}.tmp)
