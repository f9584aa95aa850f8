# The platform layer on its own.
# Formatting into fixed buffers (platform/textformat.h), the C library's cut made uniform.
orv_add_test(textformat_test SOURCES platform/textformat_test.cpp LIBS orv_platform)

# The Linux side of platform/folders.h (the Win32 side is compared with the API above).
orv_add_test(folders_test SOURCES platform/folders_test.cpp LIBS orv_platform HOST_ONLY)

# UTF-8 and UTF-16 at the Win32 boundary (platform/utf16.h), and on Win32 the paths of the wide
# file calls (platform/win32/widetext.h).
orv_add_test(utf16_test SOURCES platform/utf16_test.cpp LIBS orv_platform)
