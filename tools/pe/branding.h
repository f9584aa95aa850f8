// Branding a stub: the publisher's icon, version strings and execution level, written into
// the stub's resources by the builder before the blocks are appended, so that nobody edits a
// finished package with a resource editor (which moves or drops the appended blocks).
//
// An .ico file is a 6-byte header (reserved 0, type 1, image count) and one 16-byte entry per
// image: width, height (0 means 256), palette colours, reserved, planes (16-bit), bits per
// pixel (16-bit), the image's size and its file offset (32-bit each). Each image is a PNG file
// or a bitmap (BITMAPINFOHEADER, 40 bytes, then the colour and mask bits). In a program the
// images are RT_ICON resources and the entries become an RT_GROUP_ICON resource (here MNICON,
// the icon of the package file and of its dialog): the same header, then 14-byte entries
// whose last field is the RT_ICON id instead of the file offset.
#pragma once

#include "tools/pe/resourcetree.h"

#include <array>
#include <string>
#include <utility>
#include <vector>

enum : unsigned {
    kIconHeaderSize = 6,
    kIconEntrySize = 16,
    kGroupEntrySize = 14,
    kIconImageLimit = 64,   // images in one icon file
    kBitmapHeaderSize = 40, // BITMAPINFOHEADER
    kPngSignatureSize = 8,
};
static_assert(kIconEntrySize == kGroupEntrySize + 2,
              "a group entry has a 16-bit id, not an offset");

struct IconImage {
    unsigned width = 0, height = 0; // in pixels; 256 for a stored 0
    unsigned colors = 0, planes = 0, bitcount = 0;
    bool png = false;
    std::string data;
};

// The images of an icon file; throws BuildError naming path and the reason (not an icon,
// cut off, an image that is neither a PNG nor a bitmap).
std::vector<IconImage> parseiconfile(const std::string& bytes, const std::string& path);

// What a package sets; empty fields leave the stub's own.
struct Branding {
    std::string icon;                                                          // the .ico file
    std::string productname, company, fileversion, filedescription, copyright; // UTF-8
    std::string executionlevel; // asInvoker, requireAdministrator or highestAvailable
    bool any() const;
};

// Throws BuildError("<what> takes asInvoker, requireAdministrator or highestAvailable ...")
// for another level.
void checkexecutionlevel(const std::string& level, const std::string& what);

// stub (read from stubpath) with the branding written into its resources. Throws BuildError
// for a stub whose resources cannot be read or changed, or when the result would be too large
// for the text block to be found behind it.
std::string brandstub(const std::string& stub, const std::string& stubpath, const Branding& b);

// What a stub, or the stub at the start of a package, shows of its branding.
struct BrandingInfo {
    bool hasresources = false;
    std::vector<IconImage> icon; // the images of MNICON
    bool hasversion = false;
    std::array<unsigned, 4> fileversion{};
    std::vector<std::pair<std::string, std::string>> strings; // version strings, UTF-8
    std::string executionlevel;                               // empty: no manifest level
};

// Throws BuildError(reason) for resources that cannot be read.
BrandingInfo readbranding(const std::string& image);
