#include "Chaosmode.h"

#include <array>
#include <utility>

namespace {

constexpr std::array<std::pair<ChaosMode, const char*>, 9> Names{{
    {ChaosMode::Normal, "normal"},
    {ChaosMode::Flood, "flood"},
    {ChaosMode::Cut, "cut"},
    {ChaosMode::Huge, "huge"},
    {ChaosMode::Binary, "binary"},
    {ChaosMode::Reset, "reset"},
    {ChaosMode::Silent, "silent"},
    {ChaosMode::Backlog, "backlog"},
    {ChaosMode::Drop, "drop"},
}};

} // namespace

QString modeName(ChaosMode mode)
{
    for (const auto& [each, name] : Names) {
        if (each == mode) {
            return QLatin1String(name);
        }
    }
    return {};
}

std::optional<ChaosMode> modeFromName(const QString& name)
{
    for (const auto& [mode, each] : Names) {
        if (name == QLatin1String(each)) {
            return mode;
        }
    }
    return std::nullopt;
}

QStringList modeNames()
{
    QStringList names;
    for (const auto& entry : Names) {
        names.append(QLatin1String(entry.second));
    }
    return names;
}
