# The decryption library of the connection string and what it is made of.
# Included from src/CMakeLists.txt, so paths are relative to src/.

# Where a loaded image lies on disk: the component's config.ini and the key
# file of the decryption library both live beside their library. The key
# file's rule (where, and what makes it readable) is here too, without the
# cipher, so the component and the tools can say why a key does not serve.
add_library(zarn_modpath STATIC decrypt/module_path.cpp decrypt/module_path.h
  decrypt/key_file.cpp decrypt/key_file.h)
target_include_directories(zarn_modpath PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(zarn_modpath PUBLIC ${CMAKE_DL_LIBS})
target_link_libraries(zarn_core PUBLIC zarn_modpath)

# Both sides of the cipher; zarn-encrypt and the tests link it, the shared
# library below uses the deciphering side.
add_library(zarn_cipher STATIC decrypt/cipher.cpp decrypt/cipher.h)
target_include_directories(zarn_cipher PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(zarn_cipher PUBLIC zarn_modpath OpenSSL::Crypto)

# libZarnDecryptString.so exports ZarnDecryptStr and nothing else. The
# component module links it at load time and finds it beside itself ($ORIGIN).
add_library(ZarnDecryptString SHARED decrypt/ZarnDecryptString.cpp decrypt/ZarnDecryptString.h)
target_include_directories(ZarnDecryptString INTERFACE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(ZarnDecryptString PRIVATE zarn_cipher)
target_link_options(ZarnDecryptString PRIVATE -Wl,--exclude-libs,ALL)

foreach(target zarn_modpath zarn_cipher ZarnDecryptString)
  set_target_properties(${target} PROPERTIES
    AUTOMOC OFF
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
endforeach()

install(TARGETS ZarnDecryptString LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/zarn)
