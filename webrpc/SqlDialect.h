#pragma once
// The system writes SQL in the accounting server's dialect (T-SQL flavoured); the embedded
// engine is SQLite. TranslateSql rewrites one statement so SQLite can prepare it.
#include <QString>

struct sqlite3;

enum class TSqlEngine { SQLite, PostgreSQL };

// Rewrites select top N (also in subqueries), isnull, getdate(), dbo. functions,
// string concatenation with +, date arithmetic, convert/cast, bracketed names and the
// other constructs the bills' SQL uses. Text inside string literals is left alone.
// The PostgreSQL form keeps what that engine has natively and calls the functions the schema
// creates there (dateadd, datediff, datepart, tb_str).
QString TranslateSql(const QString& sql, TSqlEngine engine = TSqlEngine::SQLite);

// Registers the SQL functions the system's SQL calls (dbo.getreferbillcode,
// dbo.fn_TruncateCurrency, ...) on a SQLite connection. Idempotent per connection.
void RegisterSqlFunctions(sqlite3* db);

// Quotes a text as an SQL string literal ('O''Brien'), for the places where the system
// composes SQL from values.
QString QuotedStr(const QString& s);
