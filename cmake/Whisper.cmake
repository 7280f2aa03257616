# whisper.cpp for the offline recogniser: the system's libwhisper when it is 1.8 or newer, else the pinned
# release built here. Either way the target murmuro_whisper carries whisper.h, ggml-backend.h and the
# libraries, and the Silero voice activity model that ships with the program lands in <build>/share/murmuro
# under the name MURMURO_VAD_MODEL_NAME.

include(GNUInstallDirs)
option(MURMURO_WHISPER_CPU_VARIANTS
       "Build ggml's CPU backend for every x86-64 level (off: only for this machine's CPU, for test builds)" ON)

# Populated even with a system library: the voice activity model comes from the source tree.
include(${CMAKE_CURRENT_LIST_DIR}/WhisperRelease.cmake)

# Found beside the executables, one level up: <build>/share/murmuro in the build tree, <prefix>/share/murmuro
# once installed.
set(MURMURO_VAD_MODEL_NAME ggml-silero-v6.2.0.bin)
file(MAKE_DIRECTORY "${CMAKE_BINARY_DIR}/share/murmuro")
file(COPY_FILE "${whisper_SOURCE_DIR}/models/for-tests-silero-v6.2.0-ggml.bin"
     "${CMAKE_BINARY_DIR}/share/murmuro/${MURMURO_VAD_MODEL_NAME}" ONLY_IF_DIFFERENT)
install(FILES "${CMAKE_BINARY_DIR}/share/murmuro/${MURMURO_VAD_MODEL_NAME}" DESTINATION "${CMAKE_INSTALL_DATADIR}/murmuro")

pkg_check_modules(SYSTEM_WHISPER QUIET IMPORTED_TARGET whisper>=1.8 ggml)
add_library(murmuro_whisper INTERFACE)
if(SYSTEM_WHISPER_FOUND)
    message(STATUS "whisper.cpp: the system's libwhisper ${SYSTEM_WHISPER_whisper_VERSION}")
    target_link_libraries(murmuro_whisper INTERFACE PkgConfig::SYSTEM_WHISPER)
else()
    message(STATUS "whisper.cpp: building release 1.9.3 from ${whisper_SOURCE_DIR}")
    add_subdirectory("${CMAKE_CURRENT_LIST_DIR}/whisper" "${CMAKE_BINARY_DIR}/whisper-build" EXCLUDE_FROM_ALL SYSTEM)
    target_link_libraries(murmuro_whisper INTERFACE whisper ggml)
    target_compile_definitions(murmuro_whisper INTERFACE MURMURO_GGML_BACKENDS_BESIDE_LIBGGML)

    # The libraries and the CPU variants go into a private directory of their own.
    set(MURMURO_PRIVATE_LIBDIR "${CMAKE_INSTALL_LIBDIR}/murmuro")
    install(TARGETS whisper ggml ggml-base ${GGML_AVAILABLE_BACKENDS}
        LIBRARY DESTINATION "${MURMURO_PRIVATE_LIBDIR}" NAMELINK_SKIP
        PUBLIC_HEADER DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}" EXCLUDE_FROM_ALL)
    set(CMAKE_INSTALL_RPATH "$ORIGIN/../${MURMURO_PRIVATE_LIBDIR}")
endif()
