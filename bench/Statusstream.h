#pragma once

#include <QByteArray>

// A stretch of what an audio server sends while it plays: per song its title (ASCII and
// UTF-8 ones, some with quotes inside), its shuffle mode, then a time line every second.
// Songs alternate between LF and CR LF line ends. The same bytes every call.
struct StatusStream
{
    QByteArray bytes;
    int lines = 0; // line ends counted as the server meant them: CR LF is one
};

StatusStream makeStatusStream();
