#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// How das-chaos treats its clients. Normal is the well-behaved status feed a client must come
// back to after a fault; every other mode is one fault.
enum class ChaosMode
{
    Normal,
    Flood,
    Cut,
    Huge,
    Binary,
    Reset,
    Silent,
    Backlog,
    Drop
};

QString modeName(ChaosMode mode);
std::optional<ChaosMode> modeFromName(const QString& name);
QStringList modeNames();
