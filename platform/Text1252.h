// Windows-1252, the code page of the bitmap fonts and of typed characters.
// Program text is UTF-8 everywhere else.
//
// The five bytes the code page leaves undefined (0x81, 0x8D, 0x8F, 0x90,
// 0x9D) stand for the control characters U+0081 etc., so every byte has a
// character and converts back to itself.
#ifndef VELKARN_PLATFORM_TEXT1252_H
#define VELKARN_PLATFORM_TEXT1252_H

#include <string>
#include <string_view>

namespace platform {

char32_t cp1252ToUnicode(unsigned char byte);

// The byte of a character, or -1 when the code page has none.
int unicodeToCp1252(char32_t character);

std::string cp1252ToUtf8(std::string_view bytes);

// Characters without a byte become '?'; so do malformed UTF-8 sequences.
std::string utf8ToCp1252(std::string_view text);

}  // namespace platform

#endif
