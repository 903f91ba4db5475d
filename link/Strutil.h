#pragma once

// Token scanning over zero-terminated byte strings. White space is the C locale's set
// (space, tab, LF, VT, FF, CR); bytes of 128 and above are never white space, whatever
// the platform's char signedness.

const char* SkipToken(const char* p);
const char* SkipSpace(const char* p);

bool isAsciiSpace(char c);
