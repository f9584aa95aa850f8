// Whole-file reading for the builder: stubs, archives, text tables and text files.
#pragma once

#include <string>

// The file's bytes; what names the file in the error ("cannot read the stub x: reason").
std::string readfile(const std::string& path, const std::string& what);
