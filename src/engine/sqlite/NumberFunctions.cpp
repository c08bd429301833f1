// Rnd and Randomize, and the financial functions (FV, PV, Pmt, NPer, Rate, IPmt, PPmt, SLN,
// SYD, DDB). A payment due at the start of each period has type 1, at its end type 0 (the
// default); money paid out is negative, money received positive.
#include <sys/time.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <memory>

#include "engine/sqlite/FunctionSupport.h"

namespace pavana::engine::sqlite::support {
namespace {

// ---- Rnd, Randomize ------------------------------------------------------------------------

// The platform's generator: a 24-bit linear congruential sequence, so that a seeded sequence
// gives the numbers it gives there.
class RandomSequence {
public:
    // The next number of the sequence, in [0, 1).
    double Next() {
        seed_ = (seed_ * kMultiplier + kIncrement) & kMask;
        return Last();
    }
    // The number given last (the first of the sequence before any).
    double Last() const { return static_cast<double>(seed_) / (kMask + 1); }
    // Rnd(negative): the same number for the same argument, and the sequence goes on from it.
    double Restart(double argument) {
        const float single = static_cast<float>(argument);
        std::uint32_t bits = 0;
        std::memcpy(&bits, &single, sizeof bits);
        seed_ = ((bits & kMask) + (bits >> 24)) & kMask;
        return Next();
    }
    // Randomize: the number's high half changes the middle bits of the seed.
    void Reseed(double number) {
        std::uint64_t bits = 0;
        std::memcpy(&bits, &number, sizeof bits);
        const auto high = static_cast<std::uint32_t>(bits >> 32);
        seed_ = (seed_ & 0xFF) | ((((high & 0xFFFF) ^ (high >> 16)) & 0xFFFF) << 8);
    }

private:
    static constexpr std::uint64_t kMultiplier = 1140671485;
    static constexpr std::uint64_t kIncrement = 12820163;
    static constexpr std::uint64_t kMask = 0xFFFFFF;
    std::uint64_t seed_ = 327680;
};

RandomSequence& Sequence(sqlite3_context* ctx) { return *static_cast<RandomSequence*>(UserData(ctx)); }

// Rnd([n]): n < 0 the number seeded by n, n = 0 the last number again, otherwise the next.
void Rnd(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    RandomSequence& sequence = Sequence(ctx);
    if (argc == 0) return sqlite3_result_double(ctx, sequence.Next());
    if (IsNull(argv[0])) throw FunctionError{kInvalidNull};
    const double n = ToNumber(argv[0]);
    if (n < 0) return sqlite3_result_double(ctx, sequence.Restart(n));
    if (n == 0) return sqlite3_result_double(ctx, sequence.Last());
    sqlite3_result_double(ctx, sequence.Next());
}

// Seconds since midnight, the seed of a Randomize without a number.
double Timer() {
    timeval now{};
    gettimeofday(&now, nullptr);
    tm local{};
    const time_t seconds = now.tv_sec;
    localtime_r(&seconds, &local);
    return local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec + now.tv_usec / 1e6;
}

// Randomize([n]) seeds the sequence of the following Rnd calls; its value is Null.
void Randomize(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (argc == 1 && IsNull(argv[0])) throw FunctionError{kInvalidNull};
    Sequence(ctx).Reseed(argc == 1 ? ToNumber(argv[0]) : Timer());
    sqlite3_result_null(ctx);
}

// ---- financial functions ---------------------------------------------------------------------

// Argument `index`, or `fallback` when it is not given; Null is refused as the platform does.
double Argument(int argc, sqlite3_value** argv, int index, double fallback = 0) {
    if (index >= argc) return fallback;
    if (IsNull(argv[index])) throw FunctionError{kInvalidNull};
    return ToNumber(argv[index]);
}

// A payment's timing: 0 at the end of each period, anything else at its start.
double DueArgument(int argc, sqlite3_value** argv, int index) { return Argument(argc, argv, index) != 0 ? 1 : 0; }

void ResultMoney(sqlite3_context* ctx, double value) {
    if (!std::isfinite(value)) throw FunctionError{kInvalidCall};
    sqlite3_result_double(ctx, value);
}

double FutureValue(double rate, double periods, double payment, double present, double due) {
    if (rate == 0) return -(present + payment * periods);
    const double growth = std::pow(1 + rate, periods);
    return -(present * growth + payment * (1 + rate * due) * (growth - 1) / rate);
}

double Payment(double rate, double periods, double present, double future, double due) {
    if (periods == 0) throw FunctionError{kInvalidCall};
    if (rate == 0) return -(present + future) / periods;
    const double growth = std::pow(1 + rate, periods);
    return -(future + present * growth) * rate / ((1 + rate * due) * (growth - 1));
}

// The interest part of payment `period` (1 to `periods`).
double InterestPayment(double rate, double period, double periods, double present, double future, double due) {
    if (period < 1 || period >= periods + 1) throw FunctionError{kInvalidCall};
    if (due != 0 && period == 1) return 0;
    const double payment = Payment(rate, periods, present, future, due);
    double interest = FutureValue(rate, period - 1, payment, present, due) * rate;
    if (due != 0) interest /= 1 + rate;
    return interest;
}

// FV(rate, nper, pmt [, pv [, type]])
void FV(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    ResultMoney(ctx, FutureValue(Argument(argc, argv, 0), Argument(argc, argv, 1), Argument(argc, argv, 2),
                                 Argument(argc, argv, 3), DueArgument(argc, argv, 4)));
}

// PV(rate, nper, pmt [, fv [, type]])
void PV(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    const double rate = Argument(argc, argv, 0), periods = Argument(argc, argv, 1);
    const double payment = Argument(argc, argv, 2), future = Argument(argc, argv, 3);
    const double due = DueArgument(argc, argv, 4);
    if (rate == 0) return ResultMoney(ctx, -(future + payment * periods));
    const double growth = std::pow(1 + rate, periods);
    ResultMoney(ctx, -(future + payment * (1 + rate * due) * (growth - 1) / rate) / growth);
}

// Pmt(rate, nper, pv [, fv [, type]])
void Pmt(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    ResultMoney(ctx, Payment(Argument(argc, argv, 0), Argument(argc, argv, 1), Argument(argc, argv, 2),
                             Argument(argc, argv, 3), DueArgument(argc, argv, 4)));
}

// NPer(rate, pmt, pv [, fv [, type]])
void NPer(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    const double rate = Argument(argc, argv, 0), payment = Argument(argc, argv, 1);
    const double present = Argument(argc, argv, 2), future = Argument(argc, argv, 3);
    const double due = DueArgument(argc, argv, 4);
    if (rate == 0) {
        if (payment == 0) throw FunctionError{kInvalidCall};
        return ResultMoney(ctx, -(present + future) / payment);
    }
    const double paid = payment * (1 + rate * due) / rate;
    const double ratio = (paid - future) / (present + paid);
    if (!(ratio > 0) || rate <= -1) throw FunctionError{kInvalidCall};
    ResultMoney(ctx, std::log(ratio) / std::log(1 + rate));
}

// Rate(nper, pmt, pv [, fv [, type [, guess]]]): Newton's method from the guess (10% when
// none); a rate that does not settle within 20 steps is an invalid call, as there.
void Rate(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    const double periods = Argument(argc, argv, 0), payment = Argument(argc, argv, 1);
    const double present = Argument(argc, argv, 2), future = Argument(argc, argv, 3);
    const double due = DueArgument(argc, argv, 4);
    double rate = Argument(argc, argv, 5, 0.1);
    if (periods <= 0) throw FunctionError{kInvalidCall};
    // The balance left after all payments at `r`; the rate sought makes it zero.
    const auto balance = [&](double r) {
        if (r == 0) return present + payment * periods + future;
        const double growth = std::pow(1 + r, periods);
        return present * growth + payment * (1 + r * due) * (growth - 1) / r + future;
    };
    constexpr double kTolerance = 1e-7;
    for (int step = 0; step < 20; ++step) {
        const double h = std::max(std::fabs(rate) * 1e-6, 1e-9);
        const double slope = (balance(rate + h) - balance(rate - h)) / (2 * h);
        if (slope == 0 || !std::isfinite(slope)) break;
        const double next = rate - balance(rate) / slope;
        if (!std::isfinite(next) || next <= -1) break;
        if (std::fabs(next - rate) < kTolerance) return ResultMoney(ctx, next);
        rate = next;
    }
    throw FunctionError{kInvalidCall};
}

// IPmt(rate, per, nper, pv [, fv [, type]])
void IPmt(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    ResultMoney(ctx, InterestPayment(Argument(argc, argv, 0), Argument(argc, argv, 1), Argument(argc, argv, 2),
                                     Argument(argc, argv, 3), Argument(argc, argv, 4), DueArgument(argc, argv, 5)));
}

// PPmt(rate, per, nper, pv [, fv [, type]]): the payment less its interest.
void PPmt(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    const double rate = Argument(argc, argv, 0), period = Argument(argc, argv, 1);
    const double periods = Argument(argc, argv, 2), present = Argument(argc, argv, 3);
    const double future = Argument(argc, argv, 4), due = DueArgument(argc, argv, 5);
    const double interest = InterestPayment(rate, period, periods, present, future, due);
    ResultMoney(ctx, Payment(rate, periods, present, future, due) - interest);
}

// SLN(cost, salvage, life): straight-line depreciation of one period.
void SLN(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    const double life = Argument(argc, argv, 2);
    if (life == 0) throw FunctionError{kInvalidCall};
    ResultMoney(ctx, (Argument(argc, argv, 0) - Argument(argc, argv, 1)) / life);
}

// SYD(cost, salvage, life, period): sum-of-years' digits depreciation of `period`.
void SYD(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    const double cost = Argument(argc, argv, 0), salvage = Argument(argc, argv, 1);
    const double life = Argument(argc, argv, 2), period = Argument(argc, argv, 3);
    if (life <= 0 || period <= 0 || period > life) throw FunctionError{kInvalidCall};
    ResultMoney(ctx, (cost - salvage) * (life - period + 1) * 2 / (life * (life + 1)));
}

// DDB(cost, salvage, life, period [, factor]): declining-balance depreciation of `period`
// at `factor` (2, double-declining, when none), never taking the value below the salvage.
void DDB(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    const double cost = Argument(argc, argv, 0), salvage = Argument(argc, argv, 1);
    const double life = Argument(argc, argv, 2), period = Argument(argc, argv, 3);
    const double factor = Argument(argc, argv, 4, 2);
    if (life <= 0 || period <= 0 || period > life || factor <= 0 || cost < 0 || salvage < 0)
        throw FunctionError{kInvalidCall};
    const double share = std::min(factor / life, 1.0);             // of the value, each period
    const double before = cost * std::pow(1 - share, period - 1);  // the value when the period starts
    const double depreciation = std::min(before * share, std::max(before - salvage, 0.0));
    ResultMoney(ctx, depreciation);
}

}  // namespace

void RegisterNumberFunctions(sqlite3* db) {
    const std::shared_ptr<void> sequence = std::make_shared<RandomSequence>();
    Define(db, "JetRnd", -1, Rnd, false, sequence);
    Define(db, "JetRandomize", -1, Randomize, false, sequence);
    Define(db, "JetFV", -1, FV);
    Define(db, "JetPV", -1, PV);
    Define(db, "JetPmt", -1, Pmt);
    Define(db, "JetNPer", -1, NPer);
    Define(db, "JetRate", -1, Rate);
    Define(db, "JetIPmt", -1, IPmt);
    Define(db, "JetPPmt", -1, PPmt);
    Define(db, "JetSLN", -1, SLN);
    Define(db, "JetSYD", -1, SYD);
    Define(db, "JetDDB", -1, DDB);
}

}  // namespace pavana::engine::sqlite::support
