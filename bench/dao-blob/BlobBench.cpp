// Memory of a 50 MB blob written through a blob stream, posted, and read back through
// another: the process's peak resident size over each step, next to the blob's own size.
//
// Each step starts by resetting the kernel's peak mark (/proc/self/clear_refs), so a step's
// peak is its own. Run it under `/usr/bin/time -v` for the whole run's maximum.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "dao/DAODatabase.h"
#include "dao/DAOQuery.h"
#include "engine/ClassRegistry.h"

namespace {

using namespace pavana;

constexpr std::size_t kBlobSize = 50u * 1024u * 1024u;

long StatusKilobytes(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(key, 0) == 0) return std::stol(line.substr(std::string(key).size()));
    return -1;
}

void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

double Megabytes(long kilobytes) { return static_cast<double>(kilobytes) / 1024.0; }

// Runs one step and prints the resident size before it, its peak and the size after it.
template <class Step>
void Measure(const char* name, Step&& step) {
    const long before = StatusKilobytes("VmRSS:");
    ResetPeak();
    step();
    const long peak = StatusKilobytes("VmHWM:");
    const long after = StatusKilobytes("VmRSS:");
    std::printf("%-44s before %7.1f MB  peak %7.1f MB (+%6.1f)  after %7.1f MB\n", name, Megabytes(before),
                Megabytes(peak), Megabytes(peak - before), Megabytes(after));
}

}  // namespace

int main() {
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("pavana-bench-blob-" + std::to_string(::getpid()) + ".mdb");
    {
        auto db = engine::ClassRegistry::Default()
                      .Create(engine::kDao35ClassId)
                      ->DefaultWorkspace()
                      ->CreateDatabase(path.string());
        db->Execute("CREATE TABLE arquivo (id LONG PRIMARY KEY, dados LONGBINARY)");
        db->Execute("INSERT INTO arquivo (id) VALUES (1)");
        db->Close();
    }
    TDAODatabase database(nullptr);
    database.SetDatabaseName(path.string());
    TDAOQuery query(nullptr);
    query.SetDatabase(&database);
    query.SQL().SetText("SELECT * FROM arquivo");
    query.Open();
    TField& field = query.FieldByName("dados");

    std::printf("blob of %.1f MB\n", Megabytes(static_cast<long>(kBlobSize / 1024)));
    std::vector<std::uint8_t> source;
    Measure("the caller's own copy of the data", [&] {
        source.resize(kBlobSize);
        for (std::size_t i = 0; i < source.size(); ++i) source[i] = static_cast<std::uint8_t>(i * 2654435761u >> 24);
    });
    query.Edit();
    std::unique_ptr<TStream> stream;
    Measure("write through a blob stream (one WriteBuffer)", [&] {
        stream = query.CreateBlobStream(field, TBlobStreamMode::bmWrite);
        stream->WriteBuffer(source.data(), source.size());
    });
    Measure("free the stream (value into the record)", [&] { stream.reset(); });
    Measure("post", [&] { query.Post(); });
    // Reads the stream in chunks, so that the step holds no copy of the bench's own.
    auto readBack = [&] {
        stream = query.CreateBlobStream(field, TBlobStreamMode::bmRead);
        std::vector<std::uint8_t> chunk(1 << 20);
        std::size_t offset = 0;
        bool same = static_cast<std::size_t>(stream->Size()) == source.size();
        while (same && offset < source.size()) {
            const std::size_t n = stream->Read(chunk.data(), chunk.size());
            same = n > 0 && std::equal(chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(n),
                                       source.begin() + static_cast<std::ptrdiff_t>(offset));
            offset += n;
        }
        std::printf("%s\n", same ? "read back: same bytes" : "read back: DIFFERENT BYTES");
    };
    Measure("read through a blob stream", readBack);
    stream.reset();
    // A second round over the record that now holds the blob: editing it, then replacing
    // the value with another of the same size.
    Measure("edit the record holding the blob", [&] { query.Edit(); });
    Measure("write a new value and free the stream", [&] {
        for (std::uint8_t& b : source) b = static_cast<std::uint8_t>(b ^ 0x5A);
        stream = query.CreateBlobStream(field, TBlobStreamMode::bmWrite);
        stream->WriteBuffer(source.data(), source.size());
        stream.reset();
    });
    Measure("post the replacement", [&] { query.Post(); });
    stream.reset();
    Measure("read the replacement back", readBack);
    stream.reset();
    query.Close();
    database.Disconnect();
    for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(path.string() + suffix);
    return 0;
}
