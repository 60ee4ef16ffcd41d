# The module's sources, include folders, definitions and warning flags, in one place. Our
# build uses them against the stand-in SDK and Qt 5; scripts/check-host-build.sh compiles the
# same sources as Windows code against the host's Qt 4.8; docs/building-for-the-host.md builds
# garbwright.dll from them against the host's own SDK. Paths are relative to the project root.
# Only set() here: the file is read in script mode too.

# The portable core: the standard library and Boost's header-only parts.
set(GARBWRIGHT_PROTOCOL_INCLUDE_DIRS protocol)
set(GARBWRIGHT_LOGGING_SOURCES logging/orvlogging.cpp logging/orvstrings.cpp)
set(GARBWRIGHT_LOGGING_POSIX_SOURCES logging/platform_posix.cpp)
set(GARBWRIGHT_LOGGING_WINDOWS_SOURCES logging/platform_windows.cpp)
set(GARBWRIGHT_SERVERLINK_SOURCES serverlink/socketclient.cpp)
set(GARBWRIGHT_REPLYRULES_SOURCES clothing/conversionreply.cpp)

# Bound to the host and Qt.
set(GARBWRIGHT_HOSTLOG_SOURCES clothing/dzapplogger.cpp)
set(GARBWRIGHT_CLOTHING_SOURCES
  clothing/conformcheck.cpp
  clothing/conversion.cpp
  clothing/detachedprocess.cpp
  clothing/figureslots.cpp
  clothing/garbwright.cpp
  clothing/messages.cpp
  clothing/serverslots.cpp
  clothing/waitprogress.cpp
  clothing/wiretext.cpp)
# Headers that declare Qt meta-objects (moc runs on them).
set(GARBWRIGHT_CLOTHING_MOC_HEADERS clothing/garbwright.h)
set(GARBWRIGHT_PLUGIN_SOURCES plugin/plugin.cpp)
# The Windows module's export list: the two entry points, by name and ordinal.
set(GARBWRIGHT_PLUGIN_WINDOWS_DEF plugin/garbwright.def)

# Everything compiled into the module, per platform, in link order, and the folders its sources
# include from. A linker that builds statics in the order of the objects on its line (MSVC
# does) builds the plug-in definition with its factory and the module constants first (after
# the class's meta-object, moc_garbwright, which a build for the host puts before them), and
# the logging library's root logger last; unloading destroys them in reverse.
set(GARBWRIGHT_MODULE_SOURCES
  ${GARBWRIGHT_PLUGIN_SOURCES} ${GARBWRIGHT_CLOTHING_SOURCES} ${GARBWRIGHT_HOSTLOG_SOURCES}
  ${GARBWRIGHT_REPLYRULES_SOURCES} ${GARBWRIGHT_SERVERLINK_SOURCES} ${GARBWRIGHT_LOGGING_SOURCES})
set(GARBWRIGHT_MODULE_INCLUDE_DIRS protocol logging serverlink clothing plugin)
# No implicit conversion from a QString or a QByteArray to bytes or back: Qt 4 and Qt 5 convert
# implicitly through different codecs. C strings still become QStrings implicitly, since the
# host SDK's own headers do so in inline code, default arguments and macros; the module's
# string literals are ASCII (scripts/check-ascii-literals.py), which reads the same under any
# codec the host sets.
set(GARBWRIGHT_MODULE_DEFINITIONS QT_NO_CAST_TO_ASCII QT_NO_CAST_FROM_BYTEARRAY)
# Conversions that go through a codec the host may set, or that differ between Qt 4 and Qt 5;
# the module's sources never call them.
set(GARBWRIGHT_MODULE_FORBIDDEN_CALLS toStdString fromStdString toAscii fromAscii toLocal8Bit fromLocal8Bit)

# Warnings for all of the project's own code (GCC and Clang spelling).
set(GARBWRIGHT_WARNING_FLAGS -Wall -Wextra -Wpedantic -Wshadow -Woverloaded-virtual -Wcast-qual)
# Windows 7 and later (Asio asks for the target version to be named), the lean system headers,
# and no min/max macros to clash with the standard library's.
set(GARBWRIGHT_WINDOWS_DEFINITIONS _WIN32_WINNT=0x0601 WIN32_LEAN_AND_MEAN NOMINMAX)
