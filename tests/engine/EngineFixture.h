// The fixture the engine tests share: a temporary folder, an engine from the class registry,
// and helpers that capture the engine error a call raises.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "TestFolder.h"
#include "engine/ClassRegistry.h"
#include "engine/EngineError.h"

namespace pavana::engine {

// The engine error a call raised: number, message and source; number 0 when it raised none.
struct RaisedError {
    std::int32_t number = 0;
    std::int32_t status = 0;
    std::string message;
    std::string source;
};

class EngineFixture : public ::testing::Test {
protected:
    void SetUp() override {
        engine_ = ClassRegistry::Default().Create(kDao35ClassId);
        ASSERT_TRUE(engine_);
    }

    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    std::shared_ptr<Database> Create(const std::string& name, const std::string& connect = {}) {
        return engine_->DefaultWorkspace()->CreateDatabase(Path(name), connect);
    }

    static RaisedError ErrorOf(const std::function<void()>& f) {
        try {
            f();
        } catch (const EOleException& e) {
            return {EngineErrorNumber(e.ErrorCode()), e.ErrorCode(), e.Message(), e.Source()};
        }
        return {};
    }
    static std::int32_t NumberOf(const std::function<void()>& f) { return ErrorOf(f).number; }

    // The first column of the first row of a query.
    static Variant Scalar(Database& db, const std::string& sql) {
        return db.OpenRecordset(sql)->GetFields()->Item(0)->Value();
    }

    const test::TestFolder dir_;
    std::shared_ptr<DBEngine> engine_;
};

}  // namespace pavana::engine
