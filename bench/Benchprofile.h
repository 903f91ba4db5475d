#pragma once

#include <QByteArray>
#include <QTemporaryDir>

// A throw-away settings store naming the server, so the real main window connects at once
// and nothing of the developer's own settings is read or written. Make it before the window.
class BenchProfile final
{
public:
    explicit BenchProfile(const QByteArray& hostName);
    ~BenchProfile();
    BenchProfile(const BenchProfile&) = delete;
    BenchProfile& operator=(const BenchProfile&) = delete;

    bool isValid() const { return m_valid; }

private:
    QTemporaryDir m_dir;
    bool m_valid = false;
};
