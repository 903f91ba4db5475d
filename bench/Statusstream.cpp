#include "Statusstream.h"

#include <array>

namespace {

// Typical lengths (20 to 70 bytes) and the scripts a real library holds.
constexpr std::array<const char*, 10> Titles{
    "Harbour Lights at Dusk",
    "Caf\xc3\xa9 on the Rue Sol\xc3\xa8ne",
    "The \"Blue\" Hour (Live at the Old Mill, 1994)",
    "\xce\xa0\xce\xb1\xce\xbb\xce\xaf\xcf\x81\xcf\x81\xce\xbf\xce\xb9\xce\xb1 (Tide Song)",
    "N\xc3\xb6rdlich der Weiden - Remastered 2011",
    "\xe9\x9d\x99\xe3\x81\x8b\xe3\x81\xaa\xe9\x9b\xa8 (Quiet Rain)",
    "Symphony No. 7 in A major, Op. 92: II. Allegretto",
    "Track 04",
    "Where the River Bends / Lanterns Over Water (Extended Mix)",
    "\xd0\x9f\xd0\xbe\xd0\xb4\xd0\xbc\xd0\xbe\xd1\x81\xd0\xba\xd0\xbe\xd0\xb2\xd0\xbd\xd1\x8b"
    "\xd0\xb5 \xd0\xb2\xd0\xb5\xd1\x87\xd0\xb5\xd1\x80\xd0\xb0",
};

// Songs in the stream and seconds played of each: about 16.5 kB, 1,280 lines.
constexpr int Songs = 40;
constexpr int SecondsPerSong = 30;

} // namespace

StatusStream makeStatusStream()
{
    StatusStream stream;
    for (int song = 0; song < Songs; ++song) {
        const char* end = song % 2 == 0 ? "\n" : "\r\n";
        stream.bytes += "303 \"" + QByteArray(Titles[song % Titles.size()]) + '"' + end;
        stream.bytes += QByteArrayLiteral("305 0 0 ") + (song % 3 == 0 ? '1' : '0') + end;
        stream.lines += 2;
        for (int second = 0; second < SecondsPerSong; ++second) {
            const int elapsed = song * 97 + second;
            stream.bytes += "304 " + QByteArray::number(elapsed / 3600) + ' ' +
                            QByteArray::number(elapsed / 60 % 60) + ' ' +
                            QByteArray::number(elapsed % 60) + end;
            ++stream.lines;
        }
    }
    return stream;
}
