# The source of the pinned whisper.cpp release, in whisper_SOURCE_DIR.
#
# MURMURO_WHISPER_ARCHIVE points the build at a local copy of the release archive instead of the upstream
# repository; scripts/test.sh and the Makefile set it when ../shared/third_party holds one.

include(FetchContent)

set(MURMURO_WHISPER_COMMIT 371b5a7561823ab2bb32142d2751e35e7534727b)
set(MURMURO_WHISPER_SHA256 bf00ef4a9370579de5f2f75b2174b58dc47ce1487d09a344f83b35cdcb303304)
set(MURMURO_WHISPER_ARCHIVE "" CACHE FILEPATH "Local copy of the whisper.cpp 1.9.3 release archive")

if(MURMURO_WHISPER_ARCHIVE)
    if(NOT EXISTS "${MURMURO_WHISPER_ARCHIVE}")
        message(FATAL_ERROR "MURMURO_WHISPER_ARCHIVE names a file that does not exist: ${MURMURO_WHISPER_ARCHIVE}")
    endif()
    FetchContent_Declare(whisper URL "${MURMURO_WHISPER_ARCHIVE}" URL_HASH SHA256=${MURMURO_WHISPER_SHA256})
else()
    FetchContent_Declare(whisper
        GIT_REPOSITORY https://github.com/ggml-org/whisper.cpp.git
        GIT_TAG ${MURMURO_WHISPER_COMMIT})
endif()

FetchContent_GetProperties(whisper)
if(NOT whisper_POPULATED)
    FetchContent_Populate(whisper)
endif()
