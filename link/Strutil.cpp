#include "Strutil.h"

bool isAsciiSpace(char c)
{
    switch (c) {
    case ' ':
    case '\t':
    case '\n':
    case '\v':
    case '\f':
    case '\r':
        return true;
    default:
        return false;
    }
}

const char* SkipToken(const char* p)
{
    while (*p != '\0' && !isAsciiSpace(*p)) {
        ++p;
    }
    return p;
}

const char* SkipSpace(const char* p)
{
    while (*p != '\0' && isAsciiSpace(*p)) {
        ++p;
    }
    return p;
}
