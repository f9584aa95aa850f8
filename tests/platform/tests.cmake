# The platform layer on its own.
# Formatting into fixed buffers (platform/textformat.h), the C library's cut made uniform.
orv_add_test(textformat_test SOURCES platform/textformat_test.cpp LIBS orv_platform)

# The Linux side of platform/folders.h (the Win32 side is compared with the API above).
orv_add_test(folders_test SOURCES platform/folders_test.cpp LIBS orv_platform HOST_ONLY)
