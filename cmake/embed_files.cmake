# Writes OUTPUT, a C++ source that defines `std::span<const
# egn::runtime::EmbeddedFile> NAMESPACE::EmbeddedFiles()` over the bytes of
# FILES (a |-list), each named PREFIX/<its file name>. Run by egn_embed_files.
string(REPLACE "|" ";" FILES "${FILES}")
set(arrays "")
set(entries "")
set(i 0)
foreach(file IN LISTS FILES)
  file(READ ${file} hex HEX)
  string(LENGTH "${hex}" digits)
  math(EXPR size "${digits} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "((0x..,){16})" "\\1\n    " bytes "${bytes}")
  get_filename_component(name ${file} NAME)
  string(APPEND arrays "const unsigned char kFile${i}[${size}] = {\n    ${bytes}};\n")
  string(APPEND entries
    "      {\"${PREFIX}/${name}\", {reinterpret_cast<const char*>(kFile${i}), sizeof kFile${i}}},\n")
  math(EXPR i "${i} + 1")
endforeach()
file(WRITE ${OUTPUT}.new "// Made at build time from ${FILES}; do not edit.
#include <array>
#include <span>

#include \"runtime/forms/forms.h\"

namespace ${NAMESPACE} {

namespace {

${arrays}
}  // namespace

std::span<const egn::runtime::EmbeddedFile> EmbeddedFiles() {
  static const std::array<egn::runtime::EmbeddedFile, ${i}> files = {{
${entries}  }};
  return files;
}

}  // namespace ${NAMESPACE}
")
file(COPY_FILE ${OUTPUT}.new ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.new)
