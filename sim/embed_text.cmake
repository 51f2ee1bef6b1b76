# Writes OUT, a C++ source defining sim::default_world_text() with the bytes of IN, so that
# the default world compiled into the binary is always worlds/default.yaml itself.
file(READ "${IN}" hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
file(WRITE "${OUT}.tmp"
"// Generated from ${IN} at build time; do not edit.\n#include \"sim/world_file.hpp\"\n\n"
"namespace sim {\nnamespace {\nconst unsigned char kBytes[] = {${bytes}};\n}\n\n"
"const std::string& default_world_text() {\n"
"    static const std::string text(reinterpret_cast<const char*>(kBytes), sizeof kBytes);\n"
"    return text;\n}\n\n}  // namespace sim\n")
file(COPY_FILE "${OUT}.tmp" "${OUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT}.tmp")
