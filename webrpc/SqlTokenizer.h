#pragma once
// Lexer for the accounting server's SQL dialect. Tokens keep the whitespace that preceded
// them so that a rewritten statement stays readable; comments become plain whitespace.
#include <QString>
#include <QVector>

enum class TSqlTokenKind {
    Ident,       // name or keyword: select, a, billdate
    QuotedIdent, // [name] or "name", text kept as written
    TempName,    // #name (a temporary table of the server dialect)
    String,      // 'text' with '' escapes, text kept as written (an N prefix is dropped)
    Number,      // 12, 1.5, .5, 1e3
    Param,       // :name or :'name', kept as written
    Variable,    // @name, ?
    Operator,    // + - * / % = < > <= >= <> != || & | ^ ~ !< !>
    Comma,
    Dot,
    Semicolon,
    OpenParen,
    CloseParen,
    Other
};

struct TSqlToken {
    TSqlTokenKind Kind = TSqlTokenKind::Other;
    QString Text;
    QString Pre; // whitespace (and former comments) before the token
    bool WasNational = false; // an N'..' literal
};

// Splits SQL text into tokens. Whitespace after the last token goes into *trailing.
// An unterminated literal or bracket runs to the end of the text (the engine reports it).
QVector<TSqlToken> TokenizeSql(const QString& sql, QString* trailing = nullptr);

// Case-insensitive comparison of an identifier token with a word.
inline bool SqlTokenIs(const TSqlToken& t, const char* word)
{
    return t.Kind == TSqlTokenKind::Ident && t.Text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}
