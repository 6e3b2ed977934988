# Writes OUT, a C++ source holding the bytes of the PNG files IMAGES (names in
# IMG_DIR, in resource id order from 100) and the table of ids and names that
# FindEmbeddedImage searches. Run at build time: cmake -DIMG_DIR=... -DOUT=...
# -DIMAGES=a.png;b.png -P EmbedImages.cmake
set(src "// Made by resources/EmbedImages.cmake from resources/img at build time.\n")
string(APPEND src "#include \"resources/EmbeddedImages.h\"\n\nnamespace quarv::detail {\n\nnamespace {\n\n")
set(table "")
set(id 100)
list(LENGTH IMAGES count)
foreach(name IN LISTS IMAGES)
  file(READ "${IMG_DIR}/${name}" hex HEX)
  string(LENGTH "${hex}" digits)
  math(EXPR bytes "${digits} / 2")
  # Sixteen bytes to a line, then each byte as 0xNN.
  string(REPEAT "[0-9a-f]" 32 line)
  string(REGEX REPLACE "(${line})" "\\1\n" hex "${hex}")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," hex "${hex}")
  string(APPEND src "// img/${name}\nconst unsigned char kImage${id}[${bytes}] = {\n${hex}\n};\n\n")
  string(APPEND table "    {${id}, \"img/${name}\", kImage${id}, sizeof kImage${id}},\n")
  math(EXPR id "${id} + 1")
endforeach()
string(APPEND src "}  // namespace\n\nextern const EmbeddedImage kEmbeddedImages[${count}];\n")
string(APPEND src "extern const size_t kEmbeddedImageCount;\n\n")
string(APPEND src "const EmbeddedImage kEmbeddedImages[${count}] = {\n${table}};\n")
string(APPEND src "const size_t kEmbeddedImageCount = ${count};\n\n}  // namespace quarv::detail\n")
file(WRITE "${OUT}" "${src}")
