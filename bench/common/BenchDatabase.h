// A benchmark's database file: made in the temporary folder under a name of the process's
// own, filled once by the caller, then held open through one TDAODatabase connection; the
// file and its write-ahead log are removed when the object goes.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

#include "dao/DAODatabase.h"

namespace pavana::bench {

class BenchDatabase {
public:
    // `fill` gets the path of the new, empty file; the connection opens after it returns.
    BenchDatabase(const std::string& tag, const std::function<void(const std::string& path)>& fill)
        : path_((std::filesystem::temp_directory_path() /
                 ("pavana-bench-" + tag + "-" + std::to_string(::getpid()) + ".mdb"))
                    .string()) {
        fill(path_);
        database_.SetDatabaseName(path_);
        database_.Connect();
    }
    ~BenchDatabase() {
        database_.Disconnect();
        for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(path_ + suffix);
    }
    BenchDatabase(const BenchDatabase&) = delete;
    BenchDatabase& operator=(const BenchDatabase&) = delete;

    TDAODatabase& Database() { return database_; }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
    TDAODatabase database_{nullptr};
};

}  // namespace pavana::bench
