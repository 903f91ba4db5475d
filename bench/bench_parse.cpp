// The receive path's parsing: a realistic status stream fed in the link's 1024-byte receive
// chunks through LineAssembler and decodeStatusLine, beside a memchr line splitter that
// decodes nothing. The splitter is the floor: no parser can beat finding the line ends.

#include "Lineprotocol.h"
#include "Statusstream.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

namespace {

constexpr std::size_t ReceiveChunk = 1024;

const StatusStream& stream()
{
    static const StatusStream made = makeStatusStream();
    return made;
}

template <typename Feed> void runChunked(benchmark::State& state, Feed&& feed)
{
    const QByteArray& bytes = stream().bytes;
    const auto size = static_cast<std::size_t>(bytes.size());
    for (auto _ : state) {
        for (std::size_t at = 0; at < size; at += ReceiveChunk) {
            feed(bytes.constData() + at, std::min(ReceiveChunk, size - at));
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * bytes.size());
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * stream().lines);
}

// Splits on LF only and carries a cut line over to the next chunk, as any line reader must.
void BM_MemchrSplit(benchmark::State& state)
{
    char carry[LineLimit + 1];
    std::size_t carried = 0;
    runChunked(state, [&](const char* data, std::size_t size) {
        const char* end = data + size;
        while (data < end) {
            const auto* lf = static_cast<const char*>(
                std::memchr(data, '\n', static_cast<std::size_t>(end - data)));
            const char* stop = lf != nullptr ? lf : end;
            const std::size_t length = static_cast<std::size_t>(stop - data);
            if (lf == nullptr || carried > 0) {
                const std::size_t kept = std::min(length, LineLimit - carried);
                std::memcpy(carry + carried, data, kept);
                carried += kept;
            }
            if (lf != nullptr) {
                const char* line = carried > 0 ? carry : data;
                benchmark::DoNotOptimize(line);
                benchmark::DoNotOptimize(carried > 0 ? carried : length);
                carried = 0;
            }
            data = stop + (lf != nullptr ? 1 : 0);
        }
    });
}

void BM_AssembleOnly(benchmark::State& state)
{
    LineAssembler assembler;
    runChunked(state, [&](const char* data, std::size_t size) {
        assembler.feed(data, size, [](const char* line) { benchmark::DoNotOptimize(line); });
    });
}

void BM_AssembleDecode(benchmark::State& state)
{
    LineAssembler assembler;
    runChunked(state, [&](const char* data, std::size_t size) {
        assembler.feed(data, size, [](const char* line) {
            StatusLine status = decodeStatusLine(line);
            benchmark::DoNotOptimize(status);
        });
    });
}

// Everything the link does with a line short of handing it to the GUI thread: the title as
// text, the time formatted.
void BM_AssembleDecodeText(benchmark::State& state)
{
    LineAssembler assembler;
    runChunked(state, [&](const char* data, std::size_t size) {
        assembler.feed(data, size, [](const char* line) {
            const StatusLine status = decodeStatusLine(line);
            QString text;
            if (status.kind == StatusLine::Title) {
                text = titleText(status.title);
            } else if (status.kind == StatusLine::Time) {
                text = formatTime(status.values[0], status.values[1], status.values[2]);
            }
            benchmark::DoNotOptimize(text);
        });
    });
}

BENCHMARK(BM_MemchrSplit);
BENCHMARK(BM_AssembleOnly);
BENCHMARK(BM_AssembleDecode);
BENCHMARK(BM_AssembleDecodeText);

// Prints the table as usual and keeps each benchmark's rates (the median when repeated) for
// the summary against the floor.
class RatioReporter final : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const bool repeated = run.repetitions > 1;
            if (run.error_occurred ||
                (repeated &&
                 !(run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")) ||
                (!repeated && run.run_type != Run::RT_Iteration)) {
                continue;
            }
            std::string name = run.run_name.function_name;
            m_bytes[name] = run.counters.at("bytes_per_second").value;
            m_lines[name] = run.counters.at("items_per_second").value;
        }
    }

    void printSummary() const
    {
        const auto floor = m_bytes.find("BM_MemchrSplit");
        if (floor == m_bytes.end()) {
            return;
        }
        std::printf("\nsummary (MB = 10^6 bytes; %d lines, %lld bytes a pass):\n", stream().lines,
                    static_cast<long long>(stream().bytes.size()));
        for (const auto& [name, bytes] : m_bytes) {
            std::printf("  %-24s %8.1f MB/s %7.2f M lines/s  %.2f x floor\n", name.c_str(),
                        bytes / 1e6, m_lines.at(name) / 1e6, bytes / floor->second);
        }
    }

private:
    std::map<std::string, double> m_bytes;
    std::map<std::string, double> m_lines;
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printSummary();
    benchmark::Shutdown();
    return 0;
}
