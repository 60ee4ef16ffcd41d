#ifndef GARBWRIGHT_CONVERSIONREPLY_H
#define GARBWRIGHT_CONVERSIONREPLY_H

#include <string>

// The conversion server answers with the converted file's path relative to a content
// directory, components separated by ':', possibly with blanks and line feeds around it.
// Returns the path with '\' between components and those blanks removed; a carriage
// return is not a blank and stays.
std::string cleanConversionReply(std::string reply);

// True when the cleaned reply says that the server converted nothing.
bool isErrorReply(const std::string& cleanedReply);

// Anything that listens on the server's port can answer, and the answer names a file that
// the host will open. Returns why a cleaned path must not be opened (empty, absolute,
// climbing out of its content directory, holding control characters, or not a character
// file), or an empty string when it may be.
std::string refusalReason(const std::string& relativePath);

#endif
