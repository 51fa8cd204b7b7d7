#ifndef QUENLARK_OEM_CONVERSION_H
#define QUENLARK_OEM_CONVERSION_H

// Converts `text` in place from the ANSI code page to the OEM code page that
// the console shows. Leaves it as it is when the conversion is not available.
void ConvertToOemCodePage(char* text);

#endif
