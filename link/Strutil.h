#pragma once

// Token scanning over zero-terminated byte strings. White space is the C locale's set
// (space, tab, LF, VT, FF, CR); bytes of 128 and above are never white space, whatever
// the platform's char signedness. Inline: every character of every status line passes
// through them.

inline bool isAsciiSpace(char c)
{
    // Tab, LF, VT, FF and CR are 9 to 13; a byte of 128 or above is below 0 as a signed char
    // and above 13 as an unsigned one.
    return c == ' ' || (c >= '\t' && c <= '\r');
}

inline const char* SkipToken(const char* p)
{
    while (*p != '\0' && !isAsciiSpace(*p)) {
        ++p;
    }
    return p;
}

inline const char* SkipSpace(const char* p)
{
    while (*p != '\0' && isAsciiSpace(*p)) {
        ++p;
    }
    return p;
}
