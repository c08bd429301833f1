// The dialect's built-in functions and operators as SQLite functions of a connection.
//
// `RegisterJetFunctions` installs on `db` every function the printer calls: the operators
// whose meaning differs from SQLite's (JetConcat for &, JetAdd for +, JetDivide, JetIntDivide,
// JetMod, JetPower, JetLike, JetXor, JetEqv, JetImp), the built-ins (JetLeft, JetDateAdd,
// JetFormat, ...) and the aggregates First, Last, StDev, StDevP, Var, VarP. Values follow the
// engine's storage: dates are day numbers since 1899-12-30, True is -1, text is UTF-8.
// A function that fails (a type mismatch, division by zero, an invalid argument) fails the
// statement with the engine's message; `FunctionErrorNumber` gives that message's number.
#pragma once

#include <functional>
#include <optional>
#include <string_view>

struct sqlite3;

namespace pavana::engine::sqlite {

// The clock of Now(), Date() and Time(): the local date and time as a day number.
using LocalClock = std::function<double()>;

// Registers the functions on `db`; `clock` defaults to the system's local time. Throws
// `Exception` when SQLite refuses a registration.
void RegisterJetFunctions(sqlite3* db, LocalClock clock = {});

// The engine's error number of a message a function failed with, nullopt for other messages.
std::optional<int> FunctionErrorNumber(std::string_view message);

}  // namespace pavana::engine::sqlite
