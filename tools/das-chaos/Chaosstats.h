#pragma once

#include <QtGlobal>

// What das-chaos has done so far, for the tests' reports.
struct ChaosStats
{
    quint64 connections = 0; // accepted
    quint64 drops = 0;       // connections the server ended on purpose
    quint64 lines = 0;       // status lines handed to the sockets, whole or in pieces
    quint64 bytes = 0;       // bytes the sockets took
};
