#include "reports/ListingModel.h"

#include "common/Database.h"
#include "common/Prompter.h"
#include "localisation/LangDesk.h"
#include "localisation/Strings.h"
#include "programming/SheetText.h"
#include "reports/ValueFormat.h"

#include <QDate>
#include <QSqlError>
#include <QSqlQuery>

namespace nbx::reports {

namespace {

bool oneOf(const QString& c, std::initializer_list<const char*> names)
{
    for (const char* n : names)
        if (c == QLatin1String(n))
            return true;
    return false;
}

bool isLevel(const QString& c)
{
    return oneOf(c, {"SLeqLocal", "SMaxLeq1min", "SMinLeq1min", "SMaxFast", "SL1", "SL5", "SL10", "SL50", "SL90"});
}

} // namespace

const QStringList& ListingModel::columns()
{
    static const QStringList c = {
        QString(), "DFechaInicio", "THoraInicio", "DFechaFinal", "THoraFinal", "ByTLeq", "SLeqLocal",
        "ByNivelLeqLocal", "IPasadasLocal", "TTipoActuacionLocal", "SLeqVecino", "ByNivelLeqVecino",
        "IPasadasVecino", "TTipoActuacionVecino", "SMaxLeq1min", "TFechaMaxLeq1min", "THoraMaxLeq1min",
        "SMinLeq1min", "TFechaMinLeq1min", "THoraMinLeq1min", "SMaxFast", "ByNivelMFast", "IPasMaxFast",
        "SL1", "SL5", "SL10", "SL50", "SL90", "BoRS232", "BoProgramacion", "IDesco", "IE3",
        "ByLineaInsuficiente", "ByDNA", "ByENA"};
    return c;
}

ListingModel::ListingModel(QObject* parent) : QAbstractTableModel(parent) { DisenyaGrids(); }

bool ListingModel::load(QSqlDatabase db, qint32 serial, QString* error)
{
    QStringList cols = columns().mid(1);
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT %1 FROM Intervalos WHERE LNumeroSerie = ? ORDER BY DFechaInicio, THoraInicio")
                  .arg(cols.join(QStringLiteral(", "))));
    q.addBindValue(serial);
    beginResetModel();
    rows_.clear();
    const bool ok = q.exec();
    while (ok && q.next()) {
        std::vector<QVariant> row(size_t(columns().size()));
        for (int i = 1; i < columns().size(); ++i)
            row[size_t(i)] = q.value(i - 1);
        rows_.push_back(std::move(row));
    }
    endResetModel();
    if (!ok && error)
        *error = sqlErrorText(q.lastError());
    return ok;
}

void ListingModel::DisenyaGrids()
{
    auto g = [](long id) { return GetS(id); };
    auto t = [](const char* native) { return langDesk().GetTranslation(QString::fromUtf8(native)); };
    const QString cr = QStringLiteral("\r");
    const QString dba = QStringLiteral("dBA");
    headings_.clear();
    for (const QString& c : columns()) {
        QString h;
        if (c.isEmpty()) h = QString();
        else if (c.startsWith(QLatin1String("DFecha"))) h = t("Fecha");
        else if (c.startsWith(QLatin1String("THora")) && c.size() <= 11) h = t("Hora");
        else if (c == QLatin1String("ByTLeq")) h = g(41);
        else if (c == QLatin1String("SLeqLocal")) h = g(56);
        else if (c == QLatin1String("ByNivelLeqLocal")) h = g(48);
        else if (c == QLatin1String("IPasadasLocal")) h = g(46);
        else if (c == QLatin1String("TTipoActuacionLocal")) h = g(67);
        else if (c == QLatin1String("SLeqVecino")) h = g(57);
        else if (c == QLatin1String("ByNivelLeqVecino")) h = g(49);
        else if (c == QLatin1String("IPasadasVecino")) h = g(47);
        else if (c == QLatin1String("TTipoActuacionVecino")) h = g(101);
        else if (c == QLatin1String("SMaxLeq1min")) h = g(12) + cr + dba;
        else if (c == QLatin1String("TFechaMaxLeq1min")) h = g(12) + cr + g(16);
        else if (c == QLatin1String("THoraMaxLeq1min")) h = g(12) + cr + g(17);
        else if (c == QLatin1String("SMinLeq1min")) h = g(13) + cr + dba;
        else if (c == QLatin1String("TFechaMinLeq1min")) h = g(13) + cr + g(16);
        else if (c == QLatin1String("THoraMinLeq1min")) h = g(13) + cr + g(17);
        else if (c == QLatin1String("SMaxFast")) h = g(14) + cr + dba;
        else if (c == QLatin1String("ByNivelMFast")) h = g(36) + cr + dba;
        else if (c == QLatin1String("IPasMaxFast")) h = t("Pasadas");
        else if (c.startsWith(QLatin1String("SL"))) h = c.mid(1) + cr + dba;
        else if (c == QLatin1String("BoRS232")) h = g(38);
        else if (c == QLatin1String("BoProgramacion")) h = t("Reprogramación");
        else if (c == QLatin1String("IDesco")) h = g(39);
        else if (c == QLatin1String("IE3")) h = g(40);
        else if (c == QLatin1String("ByLineaInsuficiente")) h = t("Línea insuficiente") + cr + QStringLiteral("min");
        else if (c == QLatin1String("ByDNA")) h = t("D.N.A.") + cr + QStringLiteral("min");
        else if (c == QLatin1String("ByENA")) h = t("E.N.A.") + cr + QStringLiteral("min");
        headings_ << h;
    }
    cellColours_.assign(size_t(columns().size()), QColor());
    headColours_.assign(size_t(columns().size()), QColor());
    for (int i = 0; i < columns().size(); ++i) {
        const QString& c = columns()[i];
        QColor cell, head;
        if (oneOf(c, {"ByTLeq", "SLeqLocal", "SLeqVecino"})) cell = {220, 220, 255}, head = {150, 150, 255};
        else if (oneOf(c, {"ByNivelLeqLocal", "IPasadasLocal", "TTipoActuacionLocal", "ByNivelLeqVecino",
                           "IPasadasVecino", "TTipoActuacionVecino"})) cell = {255, 220, 220}, head = {150, 150, 255};
        else if (c.endsWith(QLatin1String("MaxLeq1min"))) cell = {251, 248, 200}, head = {251, 248, 150};
        else if (c.endsWith(QLatin1String("MinLeq1min"))) cell = {220, 255, 220}, head = {150, 255, 150};
        else if (c == QLatin1String("SMaxFast")) cell = {96, 253, 253}, head = {3, 233, 233};
        else if (oneOf(c, {"ByNivelMFast", "IPasMaxFast"})) cell = {255, 220, 220}, head = {3, 233, 233};
        else if (c.startsWith(QLatin1String("SL"))) cell = {251, 205, 252}, head = {245, 152, 248};
        else if (i >= 28) cell = {255, 220, 220}, head = {255, 150, 150};
        cellColours_[size_t(i)] = cell;
        headColours_[size_t(i)] = head;
    }
    if (!rows_.empty() || columnCount() > 0)
        emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
}

int ListingModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(rows_.size()); }
int ListingModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(columns().size()); }

QVariant ListingModel::stored(int row, const QString& column) const
{
    const int c = int(columns().indexOf(column));
    if (row < 0 || row >= rowCount() || c < 1)
        return QVariant();
    return rows_[size_t(row)][size_t(c)];
}

QVariant ListingModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return QVariant();
    const QString& c = columns()[index.column()];
    const QVariant v = rows_[size_t(index.row())][size_t(index.column())];
    const bool boolean = c.startsWith(QLatin1String("Bo"));
    if (role == Qt::BackgroundRole)
        return cellColours_[size_t(index.column())].isValid() ? QVariant(cellColours_[size_t(index.column())]) : QVariant();
    if (role == Qt::CheckStateRole && boolean)
        return v.toDouble() != 0 ? Qt::Checked : Qt::Unchecked;
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignCenter);
    if (role != Qt::DisplayRole || boolean || v.isNull())
        return QVariant();
    const double d = v.toDouble();
    if (isLevel(c) || c == QLatin1String("SLeqVecino")) {
        if (d == 121) return QStringLiteral("UP");
        if (d == 0) return QStringLiteral("---");
        if (d == 59 && c != QLatin1String("SLeqVecino")) return QStringLiteral("UND");
    }
    if (oneOf(c, {"ByNivelLeqLocal", "ByNivelLeqVecino"}) && d == 255)
        return QStringLiteral("---");
    if (oneOf(c, {"ByLineaInsuficiente", "ByDNA", "ByENA"}) && d == 255)
        return GetS(123);
    if (c.startsWith(QLatin1String("DFecha"))) {
        const QDate date = QDate::fromString(v.toString(), Qt::ISODate);
        if (date.isValid())
            return formatSheetDate(date);
    }
    return defaultText(v);
}

QVariant ListingModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole)
        return displayText(headings_[section]);
    if (role == Qt::BackgroundRole && headColours_[size_t(section)].isValid())
        return headColours_[size_t(section)];
    return QVariant();
}

} // namespace nbx::reports
