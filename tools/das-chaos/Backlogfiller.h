#pragma once

#include <QtGlobal>

#include <vector>

// Fills the accept queue of a listening socket on 127.0.0.1 that nobody accepts from, until
// a further connect hangs: the kernel then drops every new handshake, so clients neither get
// in nor get refused. Connects to its own server, so it holds a few dozen descriptors.
class BacklogFiller final
{
public:
    BacklogFiller() = default;
    ~BacklogFiller();
    BacklogFiller(const BacklogFiller&) = delete;
    BacklogFiller& operator=(const BacklogFiller&) = delete;

    // True once a connect to the port hangs.
    bool fill(quint16 port);
    void release();
    bool isFull() const { return m_full; }

private:
    std::vector<int> m_fillers;
    bool m_full = false;
};
