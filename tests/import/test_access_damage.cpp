// A damaged Access file of ours is read whole or refused whole: every 512-byte sector zeroed in turn,
// every column's type byte set to each other value.
#include "import/DatabaseMerge.h"
#include "support/AccessFileWriter.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace nbx;
using namespace nbx::test;

namespace {

using Type = AccessColumn::Type;

// The column types of the program's own files, by the prefix of the column's name.
AccessColumn ours(const char* name, int width = 0)
{
    const QString n = QString::fromLatin1(name);
    const auto typed = [&](const char* prefix) {
        const qsizetype k = qsizetype(qstrlen(prefix));
        return n.startsWith(QLatin1String(prefix)) && n.size() > k && n[k].isUpper();
    };
    Type t = Type::Text;
    if (n == u"TNota" || n == u"memo")
        t = Type::Memo;
    else if (typed("Bo") || n == u"CMI")
        t = Type::Bool;
    else if (typed("By"))
        t = Type::Byte;
    else if (typed("L"))
        t = Type::Long;
    else if (typed("I"))
        t = Type::Integer;
    else if (typed("S"))
        t = Type::Single;
    else if (typed("D") || n == u"THoraEmpiezaInt" || n == u"THoraTerminaInt")
        t = Type::DateTime;
    return {n, t, width > 0 ? width : 5};
}

QVariant sample(const AccessColumn& c, int row)
{
    switch (c.type) {
    case Type::Long: return c.name == u"LNumeroSerie" ? 123456 : 1000 + row;
    case Type::Integer: return 300 + row;
    case Type::Byte: return 40 + row;
    case Type::Single: return 60.5 + row;
    case Type::Double: return 1.25;
    case Type::DateTime: return QDateTime(QDate(2005, 3, 1 + row), c.name.startsWith(u'T') ? QTime(14, row) : QTime());
    case Type::Bool: return row % 2 == 0;
    case Type::Memo: return QString(5000, QLatin1Char('n'));
    case Type::Text: return QStringLiteral("t%1").arg(row); // short: a row of Jet 3 stays under 256 bytes
    }
    return {};
}

AccessTable table(const char* name, QList<AccessColumn> columns, int rows)
{
    AccessTable t{QString::fromLatin1(name), columns, {}};
    for (int r = 0; r < rows; ++r) {
        QVariantList values;
        for (const AccessColumn& c : columns)
            values << (c.name == u"ByIntervalo" ? QVariant(r + 1) : sample(c, r));
        t.rows << values;
    }
    return t;
}

// Every table of the program's files, each column of its type and width, with a memo of 5,000
// characters that spans pages.
QList<AccessTable> ourFile()
{
    const QList<AccessColumn> day = {ours("LNumeroSerie"), ours("DFecha"), ours("THora")};
    QList<AccessColumn> programacion = {ours("LNumeroSerie"), ours("DFecha"), ours("TContacto", 30), ours("TLocal", 30),
                                        ours("TDireccion", 30), ours("TPoblacion", 30), ours("TTelefono", 15), ours("TNota"),
                                        ours("TVersion"), ours("TModelo"), ours("BoCambioHora"), ours("TIdioma", 8),
                                        ours("ByTLeq"), ours("ByMFast"), ours("BoImpresion")};
    for (const char* d : {"Lunes", "Martes", "Miercoles", "Jueves", "Viernes", "Sabado", "Domingo"}) {
        programacion << ours(qPrintable(QStringLiteral("T%1Inicio").arg(QLatin1String(d))));
        programacion << ours(qPrintable(QStringLiteral("T%1Fin").arg(QLatin1String(d))));
    }
    programacion << ours("ByNivelDiaLocal") << ours("ByNivelDiaVecino") << ours("THoraEmpiezaNoche")
                 << ours("THoraTerminaNoche") << ours("ByNivelNocheLocal") << ours("ByNivelNocheVecino")
                 << ours("ITiempoAtenuacion") << ours("TTipoActuacionLocal", 8) << ours("TTipoActuacionVecino", 8);
    for (const char* o : {"31,5Hz", "63Hz", "125Hz", "250Hz", "500Hz", "1kHz", "2kHz", "4kHz", "8kHz"})
        programacion << ours(qPrintable(QStringLiteral("SOctava%1").arg(QLatin1String(o))));
    programacion << ours("ByRings") << ours("DFechaTotales") << ours("THoraTotales", 8) << ours("LPasadasLocal")
                 << ours("LPasadasVecino") << ours("LE3") << ours("LCB") << ours("ByVelocidad") << ours("CMI");
    const QList<AccessColumn> intervalos = {
        ours("LNumeroSerie"), ours("DFechaInicio"), ours("THoraInicio"), ours("DFechaFinal"), ours("THoraFinal"),
        ours("ByTLeq"), ours("SLeqLocal"), ours("SLeqVecino"), ours("TTipoActuacionLocal", 8), ours("TTipoActuacionVecino", 8),
        ours("ByNivelLeqLocal"), ours("ByNivelLeqVecino"), ours("SMaxLeq1min"), ours("TFechaMaxLeq1min", 10),
        ours("THoraMaxLeq1min"), ours("SMinLeq1min"), ours("TFechaMinLeq1min", 10), ours("THoraMinLeq1min"),
        ours("SMaxFast"), ours("ByNivelMFast"), ours("IPasMaxFast"), ours("SL1"), ours("SL5"), ours("SL10"), ours("SL50"),
        ours("SL90"), ours("BoRS232"), ours("BoProgramacion"), ours("IDesco"), ours("IPasadasLocal"),
        ours("IPasadasVecino"), ours("IE3"), ours("ByDNA"), ours("ByENA"), ours("ByLineaInsuficiente")};
    const QList<AccessColumn> sesiones = {
        ours("LNumeroSerie"), ours("DFechaInicio"), ours("THoraInicio"), ours("DFechaFinal"), ours("THoraFinal"),
        ours("SLeq"), ours("ByNivelDiaLocal"), ours("ByNivelDiaVecino"), ours("THoraInicioNoche"), ours("THoraFinalNoche"),
        ours("ByNivelNocheLocal"), ours("ByNivelNocheVecino"), ours("ITiempoAtenuacion"), ours("LDesco"),
        ours("LPasadasLocal"), ours("LPasadasVecino"), ours("LE3"), ours("SMaxFast"), ours("ByNivelMFast"),
        ours("LPasMaxFast"), ours("SMaxLeq1min"), ours("TFechaMaxLeq1min", 10), ours("THoraMaxLeq1min"),
        ours("SMinLeq1min"), ours("TFechaMinLeq1min", 10), ours("THoraMinLeq1min"), ours("SL1"), ours("SL5"),
        ours("SL10"), ours("SL50"), ours("SL90")};
    return {
        table("Configuracion", {ours("ByCom"), ours("IIdioma"), ours("ByTono"), ours("ByModem"), ours("TPrefijo", 10),
                                ours("IModemSpeed"), ours("TUsuario", 50), ours("memo")}, 1),
        table("Programacion", programacion, 2),
        table("IntervaloInhabil", {ours("LNumeroSerie"), ours("ByIntervalo"), ours("TDiaEmpiezaInt", 10),
                                   ours("THoraEmpiezaInt"), ours("TDiaTerminaInt", 10), ours("THoraTerminaInt")}, 30),
        table("Intervalos", intervalos, 12),
        table("Sesiones", sesiones, 12),
        table("DiaBorrado", day, 6),
        table("DiaReprogramado", day, 6),
        table("DiaFinalBateria", day, 6),
    };
}

// What the reader gives of a file: every table with its columns and rows, or nothing when it refuses it.
struct Contents {
    bool read = false;
    QList<std::tuple<QString, QStringList, QList<QVariantList>>> tables;
    bool operator==(const Contents&) const = default;
};

Contents contentsOf(const QString& path)
{
    Contents c;
    auto reader = makeAccessReader();
    QString error;
    if (!reader->open(path, &error))
        return c;
    for (const QString& t : reader->tables()) {
        QStringList columns;
        QList<QVariantList> rows;
        if (!reader->readTable(t, &columns, [&](const QVariantList& r) { rows << r; return true; }, &error))
            return {};
        c.tables.append({t, columns, rows});
    }
    c.read = true;
    return c;
}

// True when the reader gives the file at `path`, but not as `whole`.
bool readInPart(const QString& path, const Contents& whole)
{
    const Contents c = contentsOf(path);
    return c.read && c != whole;
}

// libmdb's own warnings about damage go to standard error: many thousands here.
class QuietStderr {
public:
    QuietStderr() : saved_(::dup(2))
    {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 2);
        ::close(null);
    }
    ~QuietStderr()
    {
        ::dup2(saved_, 2);
        ::close(saved_);
    }

private:
    int saved_;
};

constexpr int kTypeValues[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 0x7f, 0x80, 0xff};

} // namespace

TEST(AccessDamage, EveryZeroedSectorAndEveryColumnTypeReadsTheWholeFileOrRefusesIt)
{
    for (const AccessVersion version : {AccessVersion::Jet3, AccessVersion::Jet4}) {
        const char* format = version == AccessVersion::Jet3 ? "Jet 3" : "Jet 4";
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("ours.mdb"));
        AccessLayout layout;
        ASSERT_TRUE(writeAccessFile(path, ourFile(), version, &layout));
        const Contents whole = contentsOf(path);
        ASSERT_TRUE(whole.read) << format;
        ASSERT_EQ(whole.tables.size(), 8);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        const QByteArray original = file.readAll();
        const auto write = [&](qint64 at, const QByteArray& bytes) {
            file.seek(at);
            file.write(bytes);
            file.flush();
        };
        QStringList wrong;
        {
            QuietStderr quiet;
            for (qint64 at = 0; at < original.size(); at += 512) {
                write(at, QByteArray(512, '\0'));
                if (readInPart(path, whole))
                    wrong << QStringLiteral("sector at %1 (page %2)").arg(at).arg(at / layout.pageSize);
                write(at, original.mid(at, 512));
            }
            for (const qint64 at : std::as_const(layout.typeBytes)) {
                // Every type of the format, and past them, where every value reads alike.
                for (const int value : kTypeValues) {
                    if (char(value) == original[at])
                        continue;
                    write(at, QByteArray(1, char(value)));
                    if (readInPart(path, whole))
                        wrong << QStringLiteral("type byte at %1 (page %2) = %3 (was %4)")
                                     .arg(at).arg(at / layout.pageSize).arg(value).arg(int(original[at]));
                }
                write(at, original.mid(at, 1));
            }
        }
        EXPECT_TRUE(wrong.isEmpty()) << format << ": read in part after damage:\n"
                                     << wrong.join(QLatin1Char('\n')).toStdString();
    }
}
