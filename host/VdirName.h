// File names of a vdir folder's items, made from the to-do's UID, and the escaping the mirror's
// state file shares with them.
#pragma once

#include <string>

// "%XX" for every byte but ASCII letters, digits and "-_+@", and "." after the first byte: any
// text becomes one safe path component, and different texts stay different.
std::string PercentEncode(const std::string& text);
// The reverse; false when the text holds a "%" not followed by two hexadecimal digits.
bool PercentDecode(const std::string& text, std::string& decoded);

// The file of the to-do with this UID: the encoded UID and ".ics". An encoding too long for a file
// name keeps its start and ends in "~" and the MD5 digest of the whole UID ("~" never stands
// unencoded, so such a name never equals a short one).
std::string VdirFileName(const std::string& uid);
