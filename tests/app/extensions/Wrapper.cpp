// Recomputes a derived column row by row and adds a summary row, through the C++ layer;
// built with THROW_STD or THROW_OTHER it throws after its work.
#include <pavana/extension.hpp>

#include <string>

namespace {

void Recompute(pavana::extension::Database& db) {
    using pavana::extension::Value;
    db.Execute("CREATE TABLE Itens (id LONG PRIMARY KEY, preco DOUBLE, qtd LONG, total DOUBLE)");
    {
        pavana::extension::Transaction transaction(db);
        auto insert = db.CreateQuery(
            "PARAMETERS [p] DOUBLE, [q] LONG, [i] LONG; "
            "INSERT INTO Itens (id, preco, qtd) VALUES ([i], [p], [q])");
        for (std::int64_t i = 1; i <= 4; ++i) {
            insert.Set("i", i);
            insert.Set("p", 1.5 * static_cast<double>(i));
            insert.Set("q", i * 10);
            insert.Execute();
        }
        transaction.Commit();
    }
    auto update = db.CreateQuery("PARAMETERS [t] DOUBLE, [i] LONG; UPDATE Itens SET total = [t] WHERE id = [i]");
    auto rows = db.OpenRecordset("SELECT id, preco, qtd FROM Itens ORDER BY id");
    double sum = 0;
    for (; !rows.Eof(); rows.MoveNext()) {
        double total = std::get<double>(rows.Get("preco")) * static_cast<double>(std::get<std::int64_t>(rows.Get(2)));
        update.Set("t", total);
        update.Set("i", rows.Get(0));
        update.Execute();
        sum += total;
    }
    db.Execute("INSERT INTO Itens (id, total) VALUES (0, " + std::to_string(static_cast<long long>(sum)) + ")");
#if defined(THROW_STD)
    throw std::runtime_error("Exceção do C++: estoque negativo");
#elif defined(THROW_OTHER)
    throw 42;
#endif
}

}  // namespace

PAVANA_EXTENSION(Recompute)
