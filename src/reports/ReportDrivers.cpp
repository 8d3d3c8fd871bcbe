#include "reports/ReportDrivers.h"

#include "common/AppPaths.h"
#include "common/ConfiguracionRepo.h"
#include "common/Database.h"
#include "localisation/DatabaseFailure.h"
#include "localisation/LangDesk.h"
#include "localisation/Strings.h"
#include "reports/DetailRules.h"
#include "reports/ValueFormat.h"

#include <QDate>
#include <QDir>
#include <QLocale>
#include <QSqlError>
#include <QSqlQuery>

namespace nbx::reports {

namespace {

QString g_definitionFolder;

QString tr(const char16_t* native) { return langDesk().GetTranslation(QString::fromUtf16(native)); }

struct Failure {
    QString message;
};

Field* need(Report& r, const QString& name)
{
    if (Field* f = r.field(name))
        return f;
    throw Failure{tr(u"Falta el campo %1 en el informe %2").arg(name, r.name)};
}

Report& subreportOf(Report& r, const QString& name)
{
    Field* f = need(r, name);
    if (!f->subreport())
        throw Failure{tr(u"Falta el campo %1 en el informe %2").arg(name, r.name)};
    return *f->subreport();
}

void setText(Report& r, const QString& name, const QString& text) { need(r, name)->setText(text); }
void setLabel(Report& r, const QString& name, long id, bool colon)
{
    setText(r, name, colon ? GetS(id) + QLatin1Char(':') : GetS(id));
}

QString yesNo(const QVariant& v) { return GetS(!v.isNull() && v.toDouble() != 0 ? 68 : 69); }

// The Programacion row of a serial; none when there is no row. A failing query throws.
std::optional<QSqlRecord> readProgramacion(qint32 serial)
{
    QSqlQuery q(mainDb());
    q.prepare(QStringLiteral("SELECT * FROM Programacion WHERE LNumeroSerie = ?"));
    q.addBindValue(serial);
    if (!q.exec())
        throw Failure{sqlErrorText(q.lastError())};
    if (!q.next())
        return std::nullopt;
    return q.record();
}

// Reads TUsuario (when wanted) and writes the list into memo.
QString writeMemo(const QString& lista, bool readUsuario)
{
    QString error;
    ConfiguracionRow row;
    // Why in words from the database's code, then the library's text.
    const auto failed = [&error] {
        return Failure{tr(u"No se puede guardar la lista de intervalos en la configuración:\r%1")
                           .arg(databaseFailureReason(DatabaseTask::Save, sqlFailureCodeOf(error), error))};
    };
    if (readUsuario && !ConfiguracionRepo::load(&row, &error))
        throw failed();
    if (!ConfiguracionRepo::saveMemo(lista, &error))
        throw failed();
    return row.tUsuario;
}

// Loads definition n and points the main report and the two day lists at the serial.
std::unique_ptr<Report> loadWithSources(int n, qint32 serial)
{
    const QString name = QStringLiteral("NBX70_%1").arg(n);
    LoadResult loaded = loadReport(definitionPath(n), name);
    if (!loaded.report)
        throw Failure{tr(u"No se puede cargar el informe %1:\r%2").arg(name, loaded.error)};
    Report& r = *loaded.report;
    r.setRecordSource(QStringLiteral("SELECT * FROM Programacion WHERE LNumeroSerie = ?"), {serial});
    subreportOf(r, QStringLiteral("Reprogramacions"))
        .setRecordSource(QStringLiteral("SELECT * FROM DiaReprogramado WHERE LNumeroSerie = ? ORDER BY DFecha, THora"),
                         {serial});
    subreportOf(r, QStringLiteral("Esborrats"))
        .setRecordSource(QStringLiteral("SELECT * FROM DiaBorrado WHERE LNumeroSerie = ? ORDER BY DFecha, THora"),
                         {serial});
    return std::move(loaded.report);
}

void fillCommonFields(Report& r, const QString& totals, const QString& lista, const QString& usuario)
{
    setText(r, QStringLiteral("IntervalTotals"), totals);
    setText(r, QStringLiteral("LabelMemo"), lista);
    setText(r, QStringLiteral("TUsuario"), usuario);
    setText(r, QStringLiteral("TTFecha"), QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat));
    for (const char* sub : {"Esborrats", "Reprogramacions"}) {
        Report& s = subreportOf(r, QString::fromLatin1(sub));
        setLabel(s, QStringLiteral("TFecha"), 16, true);
        setLabel(s, QStringLiteral("THora"), 17, true);
    }
}

struct Label {
    const char* field;
    long id;
    bool colon;
};

// The main report's labels in the order they are set; "SOctava31,5Hz" follows TOctavas, and the
// listing heading (when there is one) TNotas.
const Label kLabelsHead[] = {
    {"TReprog", 141, true},        {"TBorrados", 142, true},     {"TIntervalos", 143, true},
    {"TNotas", 144, false},
};
const Label kLabelsMid[] = {
    {"TContadoresTot", 136, false}, {"TSobrepasadas", 137, true}, {"TPasadasVei", 138, true},
    {"TSensorInact", 139, false},   {"TBorrados2", 140, false},   {"TOctavas", 131, true},
};
const Label kLabelsTail[] = {
    {"TSesiones", 130, true},   {"TLunes", 70, true},        {"TMartes", 71, true},
    {"TMiercoles", 72, true},   {"TJueves", 73, true},       {"TViernes", 74, true},
    {"TSabado", 75, true},      {"TDomingo", 76, true},      {"TCambioHora", 90, false},
    {"TTempsLeq", 10, false},   {"TMFast", 77, false},       {"TTiempoAten", 132, true},
    {"TipAct", 133, false},     {"TipActVei", 134, false},   {"NumeroRings", 145, false},
};
const Label kLabelsLimits[] = {
    {"Normativa", 125, true},   {"THorarioNoche", 129, true}, {"THorarioDia", 128, true},
    {"TNivelNoche", 126, true}, {"TNivelNitVei", 127, true},  {"TNivelDia", 126, true},
    {"TNivelDiaVei", 127, true},
};
const Label kLabelsIdentity[] = {
    {"TNSerie", 2, false},   {"TContacto", 5, false},  {"TLocal", 6, false},     {"TVersion", 3, false},
    {"TFecha", 4, false},    {"TDireccion", 7, false}, {"TPoblacion", 8, false}, {"TTelefono", 9, false},
};

template <size_t N>
void setLabels(Report& r, const Label (&labels)[N])
{
    for (const Label& l : labels)
        setLabel(r, QString::fromLatin1(l.field), l.id, l.colon);
}

QVariant column(const QSqlRecord& row, const char* name) { return row.value(QString::fromLatin1(name)); }

void fillSheet(Report& r, const QSqlRecord& row, double version, const Label* listHeading)
{
    setLabels(r, kLabelsHead);
    if (listHeading)
        setLabel(r, QString::fromLatin1(listHeading->field), listHeading->id, listHeading->colon);
    setLabels(r, kLabelsMid);
    setText(r, QStringLiteral("SOctava31,5Hz"), formatOneDecimal(column(row, "SOctava31,5Hz")));
    // The band's caption takes the decimal separator of the values beside it.
    setText(r, QStringLiteral("TOctava31,5Hz"), formatOneDecimal(31.5));
    setLabels(r, kLabelsTail);
    setText(r, QStringLiteral("CambioHora"), yesNo(column(row, "BoCambioHora")));
    const QString vecino = column(row, "TTipoActuacionVecino").toString();
    setText(r, QStringLiteral("TipusActuacio"), vecino == QLatin1String("0") ? GetS(155) : vecino);
    setLabels(r, kLabelsLimits);
    setLabels(r, kLabelsIdentity);
    Field* tcmi = need(r, QStringLiteral("TCMI"));
    Field* cmi = need(r, QStringLiteral("CMI"));
    const bool shown = version >= 2.0;
    tcmi->setVisible(shown);
    cmi->setVisible(shown);
    if (shown) {
        tcmi->setText(GetS(135));
        cmi->setText(yesNo(column(row, "CMI")));
    }
}

QString shortDate(const QVariant& stored)
{
    const QDate d = QDate::fromString(stored.toString(), Qt::ISODate);
    return d.isValid() ? QLocale::system().toString(d, QLocale::ShortFormat) : stored.toString();
}

QString noData() { return GetS(59); }

} // namespace

QString listaIntervalosInhabiles(const InhibitedIntervals& iv)
{
    QString text;
    int listed = 0;
    for (int i = 0; i < kIntervalCount; ++i) {
        const QString& start = iv.fechaIni[size_t(i)];
        if (start.isEmpty() || start == kEmptyIntervalDate)
            continue;
        text += QStringLiteral("%1 - %2 %3 <-> %4 %5")
                    .arg(i + 1, 2, 10, QLatin1Char('0'))
                    .arg(start, iv.horaIni[size_t(i)], iv.fechaFi[size_t(i)], iv.horaFi[size_t(i)]);
        ++listed;
        text += listed % 2 ? QStringLiteral("     ,     ") : QStringLiteral("\r");
    }
    return listed ? text : QStringLiteral(" ");
}

std::optional<qint32> parseSerialText(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() > 9)
        return std::nullopt;
    for (const QChar c : t)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    return qint32(t.toLong());
}

void setDefinitionFolder(const QString& folder) { g_definitionFolder = folder; }

QString definitionPath(int n)
{
    const QString base = g_definitionFolder.isEmpty()
                             ? AppPaths::resolve(AppPaths::resourceDir(), QStringLiteral("XML"))
                             : g_definitionFolder;
    return AppPaths::resolve(base, QStringLiteral("nbx70_%1.xml").arg(n));
}

QString fillSheetFields(Report& report, const QSqlRecord& row, double version)
{
    try {
        fillSheet(report, row, version, nullptr);
    } catch (const Failure& f) {
        return f.message;
    }
    return QString();
}

PrintJob prepareSheetReport(qint32 serial, const QString& versionText, const InhibitedIntervals& intervals)
{
    PrintJob job;
    try {
        const std::optional<QSqlRecord> row = readProgramacion(serial);
        if (!row)
            throw Failure{noData()};
        const QString totals = shortDate(column(*row, "DFechaTotales")) + QLatin1Char(' ') +
                               column(*row, "THoraTotales").toString();
        const QString lista = listaIntervalosInhabiles(intervals);
        const QString usuario = writeMemo(lista, true);
        std::unique_ptr<Report> r = loadWithSources(1, serial);
        fillCommonFields(*r, totals, lista, usuario);
        fillSheet(*r, *row, leadingNumber(versionText), nullptr);
        job.report = std::move(r);
    } catch (const Failure& f) {
        job.error = f.message;
    }
    return job;
}

PrintJob prepareGraphReport(const GraphReportInput& in)
{
    PrintJob job;
    try {
        const QString totals = in.fechaTotales + QLatin1Char(' ') + in.horaTotales;
        const QString lista = listaIntervalosInhabiles(in.intervals);
        const std::optional<QSqlRecord> row = readProgramacion(in.serial);
        if (!row)
            throw Failure{noData()};
        const QString usuario = writeMemo(lista, true);
        std::unique_ptr<Report> r = loadWithSources(4, in.serial);
        r->setPicture(QStringLiteral("NBX70_4Pic3"), in.levelChart);
        r->setPicture(QStringLiteral("NBX70_4Pic2"), in.eventChart);
        fillCommonFields(*r, totals, lista, usuario);
        fillSheet(*r, *row, leadingNumber(column(*row, "TVersion").toString()), nullptr);
        job.report = std::move(r);
    } catch (const Failure& f) {
        job.error = f.message;
    }
    return job;
}

PrintJob prepareListingReport(const ListingReportInput& in)
{
    PrintJob job;
    try {
        const QString totals = in.fechaTotales + QLatin1Char(' ') + in.horaTotales;
        const QString lista = listaIntervalosInhabiles(in.intervals);
        writeMemo(lista, false);
        const QString from = in.fromDate + QLatin1Char(' ') + in.fromTime.left(5);
        const QString to = in.toDate + QLatin1Char(' ') + in.toTime.left(5);
        const QString table = in.sessions ? QStringLiteral("Sesiones") : QStringLiteral("Intervalos");
        const QString where = QStringLiteral(" WHERE LNumeroSerie = ? AND (DFechaInicio || ' ' || substr(THoraInicio, 1, 5)) "
                                             "BETWEEN ? AND ?");
        const std::optional<QSqlRecord> row = readProgramacion(in.serial);
        if (!row)
            throw Failure{noData()};
        if (in.sessions) {
            QSqlQuery q(mainDb());
            q.prepare(QStringLiteral("SELECT COUNT(*) FROM Sesiones") + where);
            q.addBindValue(in.serial);
            q.addBindValue(from);
            q.addBindValue(to);
            if (!q.exec() || !q.next())
                throw Failure{sqlErrorText(q.lastError())};
            if (q.value(0).toLongLong() == 0)
                throw Failure{noData()};
        }
        std::unique_ptr<Report> r = loadWithSources(in.sessions ? 3 : 2, in.serial);
        const QString subName = in.sessions ? QStringLiteral("SesionReg") : QStringLiteral("IntervalosLeq");
        Report& sub = subreportOf(*r, subName);
        sub.setRecordSource(QStringLiteral("SELECT * FROM ") + table + where +
                                QStringLiteral(" ORDER BY DFechaInicio, THoraInicio"),
                            {in.serial, from, to});
        Section* detail = sub.section(QStringLiteral("Detail"));
        if (!detail)
            throw Failure{tr(u"Falta el campo %1 en el informe %2").arg(QStringLiteral("Detail"), sub.name)};
        detail->setDetailRules(buildDetailRules());
        fillCommonFields(*r, totals, lista, in.textoUsuario);
        if (in.sessions) {
            const Label labels[] = {
                {"LabelPasadas", 149, true},        {"LabelPasadas1", 137, true},    {"LabelPasadas2", 138, true},
                {"LabelSensorInactivo", 139, false}, {"LabelDesconexiones", 153, true},
                {"LabelTiempoAtenuacion", 80, true}, {"LabelSesion", 100, true},      {"LabelLDE", 102, true},
                {"LabelLDR", 103, true},            {"LabelLNE", 104, true},         {"LabelLNR", 105, true},
                {"LabelNoche", 99, true},           {"LabelLimiteLFmax", 36, false}};
            setLabels(sub, labels);
        } else {
            const Label labels[] = {
                {"LabelEmision", 147, true},        {"LabelRecepcion", 148, true},
                {"LabelPasadas", 149, true},        {"LabelReprogramacion", 150, true},
                {"LabelLineaInsuficiente", 151, true}, {"LabelENA", 152, true},
                {"LabelPasadas1", 137, true},       {"LabelPasadas2", 138, true},
                {"LabelSensorInactivo", 139, false}, {"LabelDesconexiones", 153, true},
                {"LabelDNA", 154, true},            {"LabelLimite1", 36, false},     {"LabelLimite2", 36, false},
                {"LabelLimiteLFmax", 36, false}};
            setLabels(sub, labels);
            const QString actionType = GetS(QStringLiteral("Tipo de actuación"));
            setText(sub, QStringLiteral("LabelTipoActuacion1"), actionType);
            setText(sub, QStringLiteral("LabelTipoActuacion2"), actionType);
        }
        const Label heading = in.sessions ? Label{"TRegistrosSesion", 156, true} : Label{"TIntervalosLeq", 146, true};
        fillSheet(*r, *row, leadingNumber(column(*row, "TVersion").toString()), &heading);
        job.report = std::move(r);
    } catch (const Failure& f) {
        job.error = f.message;
    }
    return job;
}

} // namespace nbx::reports
