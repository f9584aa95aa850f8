"""Compression at libdeflate's strongest level, for the build's own scripts.

The packed stub's stream (stub/pack-stub.py) and the PNG images of its icons
(resources/make-icons.py) are made once at build time and then ship in every package, so they
are compressed as tightly as Deflate allows: libdeflate's level 12, a few percent smaller than
zlib's level 9, through ctypes (the builder links the same library). Both formats come from
one compressor: raw Deflate and the zlib wrapper that PNG uses.
"""
import ctypes
import ctypes.util

LIBDEFLATE_STRONGEST = 12
FORMATS = {"deflate": "libdeflate_deflate_compress", "zlib": "libdeflate_zlib_compress"}


def compress(data, form):
    """data compressed as form ("deflate": raw, or "zlib"). Raises OSError when libdeflate is
    missing or fails."""
    library = ctypes.CDLL(ctypes.util.find_library("deflate") or "libdeflate.so.0")
    library.libdeflate_alloc_compressor.restype = ctypes.c_void_p
    library.libdeflate_alloc_compressor.argtypes = [ctypes.c_int]
    function = getattr(library, FORMATS[form])
    function.restype = ctypes.c_size_t
    function.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_size_t, ctypes.c_void_p,
                         ctypes.c_size_t]
    library.libdeflate_free_compressor.argtypes = [ctypes.c_void_p]
    compressor = library.libdeflate_alloc_compressor(LIBDEFLATE_STRONGEST)
    if not compressor:
        raise OSError("libdeflate could not make a compressor")
    out = ctypes.create_string_buffer(len(data) + 1024)
    size = function(compressor, data, len(data), out, len(out))
    library.libdeflate_free_compressor(compressor)
    if not size:
        raise OSError("libdeflate could not compress %d bytes" % len(data))
    return out.raw[:size]
