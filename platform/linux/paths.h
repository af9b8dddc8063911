// The one conversion between the program's UTF-16 text and the bytes that
// Linux file names are made of.
//
// Names on disk are UTF-8 as far as they decode. Every byte that does not
// decode becomes the lone surrogate U+DC00 + byte, and a backslash inside a
// name becomes U+F05C, so it can never be taken for a separator; a name
// that really holds U+F05C keeps its three bytes as lone surrogates. The
// mapping is reversible: a listed name addresses exactly its own file.
#pragma once

#include <string>

#include "platform/api/types.h"

namespace platform {

// Decodes one name read from the file system.
std::u16string NameFromNative(const std::string& bytes);

// Decodes text that may hold a path typed by a person, such as an argument:
// a backslash stays a separator.
std::u16string TextFromNative(const std::string& bytes);

// Encodes a path for the system: '\' and '/' both become '/'. Returns false
// when the text holds a surrogate that no name on disk can carry.
bool PathToNative(LPCWSTR path, std::string& bytes);

// Encodes text that is not a path, such as a message for a terminal.
std::string TextToNative(const std::u16string& text);

}  // namespace platform
