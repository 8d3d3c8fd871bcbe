// The seven tables of a KM70 exchange file: column order, names and types, compiled in.
#pragma once

#include <QString>
#include <span>

namespace nbx {

enum class ExchangeType { Integer, Short, Byte, Single, Bit, Date, Char, Memo };

struct ExchangeColumn {
    const char* name;
    ExchangeType type;
    int width; // Char only
};

struct ExchangeTable {
    const char* name;           // also the main-database table it fills
    const char* dateTimeFormat; // how its Date columns are written; nullptr for IntervaloInhabil
    std::span<const ExchangeColumn> columns;

    QString tableName() const { return QString::fromLatin1(name); }
    // True when the Date columns carry a date and a time of day ("yyyy-mm-dd hh:nn:ss").
    bool dateTimeColumns() const;
};

inline constexpr int kExchangeTableCount = 7;

// The tables in their import order: DiaBorrado, DiaFinalBateria, DiaReprogramado,
// IntervaloInhabil, Intervalos, Programacion, Sesiones.
std::span<const ExchangeTable> exchangeTables();

// Index into exchangeTables() of the table with this name (any case), or -1.
int exchangeTableIndex(const QString& name);

// The schema as the description file of the text-table driver would hold it (documentation and
// tests; the import reads the compiled-in schema). Keys are written in column order, unquoted.
QString schemaIniText();

} // namespace nbx
