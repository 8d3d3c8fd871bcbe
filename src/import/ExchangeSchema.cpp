#include "import/ExchangeSchema.h"

#include <QStringList>

namespace nbx {

namespace {

using T = ExchangeType;

constexpr ExchangeColumn kDayColumns[] = {
    {"LNumeroSerie", T::Integer, 0}, {"DFecha", T::Date, 0}, {"THora", T::Char, 5}};

constexpr ExchangeColumn kIntervaloInhabil[] = {
    {"LNumeroSerie", T::Integer, 0}, {"ByIntervalo", T::Byte, 0},
    {"TDiaEmpiezaInt", T::Char, 10}, {"THoraEmpiezaInt", T::Date, 0},
    {"TDiaTerminaInt", T::Char, 10}, {"THoraTerminaInt", T::Date, 0}};

constexpr ExchangeColumn kIntervalos[] = {
    {"LNumeroSerie", T::Integer, 0},       {"DFechaInicio", T::Date, 0},
    {"DFechaFinal", T::Date, 0},           {"ByTLeq", T::Byte, 0},
    {"SLeqLocal", T::Single, 0},           {"SLeqVecino", T::Single, 0},
    {"TTipoActuacionLocal", T::Char, 8},   {"TTipoActuacionVecino", T::Char, 8},
    {"ByNivelLeqLocal", T::Byte, 0},       {"ByNivelLeqVecino", T::Byte, 0},
    {"SMaxLeq1min", T::Single, 0},         {"TFechaMaxLeq1min", T::Char, 10},
    {"THoraMaxLeq1min", T::Char, 5},       {"SMinLeq1min", T::Single, 0},
    {"TFechaMinLeq1min", T::Char, 10},     {"THoraMinLeq1min", T::Char, 5},
    {"SMaxFast", T::Single, 0},            {"ByNivelMFast", T::Byte, 0},
    {"IPasMaxFast", T::Short, 0},          {"SL1", T::Single, 0},
    {"SL5", T::Single, 0},                 {"SL10", T::Single, 0},
    {"SL50", T::Single, 0},                {"SL90", T::Single, 0},
    {"BoRS232", T::Bit, 0},                {"BoProgramacion", T::Bit, 0},
    {"IDesco", T::Short, 0},               {"IPasadasLocal", T::Short, 0},
    {"IPasadasVecino", T::Short, 0},       {"IE3", T::Short, 0},
    {"ByDNA", T::Byte, 0},                 {"ByENA", T::Byte, 0},
    {"ByLineaInsuficiente", T::Byte, 0}};

constexpr ExchangeColumn kProgramacion[] = {
    {"LNumeroSerie", T::Integer, 0},     {"DFecha", T::Date, 0},
    {"TContacto", T::Char, 30},          {"TLocal", T::Char, 30},
    {"TDireccion", T::Char, 30},         {"TPoblacion", T::Char, 30},
    {"TTelefono", T::Char, 15},          {"TNota", T::Memo, 0},
    {"TVersion", T::Char, 5},            {"TModelo", T::Char, 5},
    {"BoCambioHora", T::Bit, 0},         {"TIdioma", T::Char, 8},
    {"ByTLeq", T::Byte, 0},              {"ByMFast", T::Byte, 0},
    {"BoImpresion", T::Bit, 0},          {"TLunesInicio", T::Char, 5},
    {"TLunesFin", T::Char, 5},           {"TMartesInicio", T::Char, 5},
    {"TMartesFin", T::Char, 5},          {"TMiercolesInicio", T::Char, 5},
    {"TMiercolesFin", T::Char, 5},       {"TJuevesInicio", T::Char, 5},
    {"TJuevesFin", T::Char, 5},          {"TViernesInicio", T::Char, 5},
    {"TViernesFin", T::Char, 5},         {"TSabadoInicio", T::Char, 5},
    {"TSabadoFin", T::Char, 5},          {"TDomingoInicio", T::Char, 5},
    {"TDomingoFin", T::Char, 5},         {"ByNivelDiaLocal", T::Byte, 0},
    {"ByNivelDiaVecino", T::Byte, 0},    {"THoraEmpiezaNoche", T::Char, 5},
    {"THoraTerminaNoche", T::Char, 5},   {"ByNivelNocheLocal", T::Byte, 0},
    {"ByNivelNocheVecino", T::Byte, 0},  {"ITiempoAtenuacion", T::Short, 0},
    {"TTipoActuacionLocal", T::Char, 8}, {"TTipoActuacionVecino", T::Char, 8},
    {"SOctava31,5Hz", T::Single, 0},     {"SOctava63Hz", T::Single, 0},
    {"SOctava125Hz", T::Single, 0},      {"SOctava250Hz", T::Single, 0},
    {"SOctava500Hz", T::Single, 0},      {"SOctava1kHz", T::Single, 0},
    {"SOctava2kHz", T::Single, 0},       {"SOctava4kHz", T::Single, 0},
    {"SOctava8kHz", T::Single, 0},       {"ByRings", T::Byte, 0},
    {"DFechaTotales", T::Date, 0},       {"THoraTotales", T::Char, 8},
    {"LPasadasLocal", T::Integer, 0},    {"LPasadasVecino", T::Integer, 0},
    {"LE3", T::Integer, 0},              {"LCB", T::Integer, 0},
    {"ByVelocidad", T::Byte, 0},         {"CMI", T::Bit, 0}};

constexpr ExchangeColumn kSesiones[] = {
    {"LNumeroSerie", T::Integer, 0},   {"DFechaInicio", T::Date, 0},
    {"DFechaFinal", T::Date, 0},       {"SLeq", T::Single, 0},
    {"ByNivelDiaLocal", T::Byte, 0},   {"ByNivelDiaVecino", T::Byte, 0},
    {"THoraInicioNoche", T::Char, 5},  {"THoraFinalNoche", T::Char, 5},
    {"ByNivelNocheLocal", T::Byte, 0}, {"ByNivelNocheVecino", T::Byte, 0},
    {"ITiempoAtenuacion", T::Short, 0}, {"LDesco", T::Integer, 0},
    {"LPasadasLocal", T::Integer, 0},  {"LPasadasVecino", T::Integer, 0},
    {"LE3", T::Integer, 0},            {"SMaxFast", T::Single, 0},
    {"ByNivelMFast", T::Byte, 0},      {"LPasMaxFast", T::Integer, 0},
    {"SMaxLeq1min", T::Single, 0},     {"TFechaMaxLeq1min", T::Char, 10},
    {"THoraMaxLeq1min", T::Char, 5},   {"SMinLeq1min", T::Single, 0},
    {"TFechaMinLeq1min", T::Char, 10}, {"THoraMinLeq1min", T::Char, 5},
    {"SL1", T::Single, 0},             {"SL5", T::Single, 0},
    {"SL10", T::Single, 0},            {"SL50", T::Single, 0},
    {"SL90", T::Single, 0}};

constexpr const char* kDate = "yyyy-mm-dd";
constexpr const char* kDateTime = "yyyy-mm-dd hh:nn:ss";

constexpr ExchangeTable kExchangeTables[kExchangeTableCount] = {
    {"DiaBorrado", kDate, kDayColumns},
    {"DiaFinalBateria", kDate, kDayColumns},
    {"DiaReprogramado", kDate, kDayColumns},
    {"IntervaloInhabil", nullptr, kIntervaloInhabil},
    {"Intervalos", kDateTime, kIntervalos},
    {"Programacion", kDate, kProgramacion},
    {"Sesiones", kDateTime, kSesiones},
};

QString typeWord(const ExchangeColumn& c)
{
    switch (c.type) {
    case T::Integer: return QStringLiteral("Integer");
    case T::Short: return QStringLiteral("Short");
    case T::Byte: return QStringLiteral("Byte");
    case T::Single: return QStringLiteral("Single");
    case T::Bit: return QStringLiteral("Bit");
    case T::Date: return QStringLiteral("Date");
    case T::Char: return QStringLiteral("Char Width %1").arg(c.width);
    case T::Memo: return QStringLiteral("Memo");
    }
    return {};
}

} // namespace

bool ExchangeTable::dateTimeColumns() const
{
    return dateTimeFormat && QLatin1String(dateTimeFormat) == QLatin1String(kDateTime);
}

std::span<const ExchangeTable> exchangeTables() { return kExchangeTables; }

int exchangeTableIndex(const QString& name)
{
    for (int i = 0; i < kExchangeTableCount; ++i)
        if (name.compare(QLatin1String(kExchangeTables[i].name), Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QString schemaIniText()
{
    QStringList lines;
    for (const ExchangeTable& t : kExchangeTables) {
        lines << QStringLiteral("[%1.csv]").arg(t.tableName());
        lines << QStringLiteral("ColNameHeader=True") << QStringLiteral("CharacterSet=ANSI")
              << QStringLiteral("Format=Delimited(;)");
        if (t.dateTimeFormat)
            lines << QStringLiteral("DateTimeFormat=") + QLatin1String(t.dateTimeFormat);
        int n = 0;
        for (const ExchangeColumn& c : t.columns)
            lines << QStringLiteral("Col%1=%2 %3").arg(++n).arg(QLatin1String(c.name), typeWord(c));
    }
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

} // namespace nbx
