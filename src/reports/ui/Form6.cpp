// Form6: the listing window; picks the first and last interval and the kind of report to print.
#include "reports/ui/Form6.h"

#include "common/AppState.h"
#include "common/Database.h"
#include "common/Prompter.h"
#include "common/ui/Help.h"
#include "localisation/DatabaseFailure.h"
#include "localisation/ui/TranslateForm.h"
#include "reports/ListingModel.h"
#include "reports/ui/RecordWindowContext.h"
#include "reports/ui/ReportPreview.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QVBoxLayout>

namespace nbx {

namespace {

// A heading that paints the model's heading colour whatever the style does with it.
class ColouredHeader : public QHeaderView {
public:
    explicit ColouredHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {}

protected:
    void paintSection(QPainter* painter, const QRect& rect, int section) const override
    {
        const QVariant bg = model()->headerData(section, Qt::Horizontal, Qt::BackgroundRole);
        painter->save();
        painter->fillRect(rect, bg.isValid() ? bg.value<QColor>() : palette().button().color());
        painter->setPen(palette().mid().color());
        painter->drawRect(rect.adjusted(0, 0, -1, -1));
        painter->setPen(palette().buttonText().color());
        painter->drawText(rect.adjusted(2, 1, -2, -1), Qt::AlignCenter,
                          model()->headerData(section, Qt::Horizontal, Qt::DisplayRole).toString());
        painter->restore();
    }
};

QTableView* makeGrid(QWidget* parent, const char* name, QAbstractItemModel* model)
{
    auto* grid = new QTableView(parent);
    grid->setObjectName(QLatin1String(name));
    grid->setHorizontalHeader(new ColouredHeader(grid));
    grid->setModel(model);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setColumnHidden(0, true);
    grid->verticalHeader()->setDefaultSectionSize(20);
    grid->horizontalHeader()->setMinimumHeight(36);
    grid->setAccessibleName(QLatin1String(name));
    return grid;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& text)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    return b;
}

} // namespace

Form6::Form6(QWidget* parent) : QDialog(parent), model_(new reports::ListingModel(this))
{
    setObjectName(QStringLiteral("Form6"));
    setWindowTitle(QString::fromLatin1(kAppTitle));
    setModal(true);
    SplitCaption = new QLabel(QStringLiteral("REGISTROS LeqT Inicio <> Final"), this);
    SplitCaption->setObjectName(QStringLiteral("SplitCaption"));
    TDBGridInici = makeGrid(this, "TDBGridInici", model_);
    TDBGridFi = makeGrid(this, "TDBGridFi", model_);
    SplitCaption->setBuddy(TDBGridInici);
    OptionIntervalos = new QRadioButton(QStringLiteral("REGISTROS LeqT"), this);
    OptionIntervalos->setObjectName(QStringLiteral("OptionIntervalos"));
    OptionIntervalos->setChecked(true);
    OptionSesiones = new QRadioButton(QStringLiteral("REGISTROS Sesión"), this);
    OptionSesiones->setObjectName(QStringLiteral("OptionSesiones"));
    SSCommandImprimir = makeButton(this, "SSCommandImprimir", QStringLiteral("Imprimir"));
    SSCommandExit = makeButton(this, "SSCommandExit", QStringLiteral("Volver"));
    SSCommandHelp = makeButton(this, "SSCommandHelp", QStringLiteral("Ayuda"));

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(OptionIntervalos);
    bottom->addWidget(OptionSesiones);
    bottom->addStretch(1);
    bottom->addWidget(SSCommandImprimir);
    bottom->addWidget(SSCommandHelp);
    bottom->addWidget(SSCommandExit);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(SplitCaption);
    layout->addWidget(TDBGridInici, 1);
    layout->addWidget(TDBGridFi, 1);
    layout->addLayout(bottom);
    connect(SSCommandImprimir, &QPushButton::clicked, this, &Form6::SSCommandImprimir_Click);
    connect(SSCommandExit, &QPushButton::clicked, this, &Form6::SSCommandExit_Click);
    connect(SSCommandHelp, &QPushButton::clicked, this, &Form6::SSCommandHelp_Click);
    resize(1000, 620);
}

void Form6::Form_Load(qint32 serial)
{
    TranslateForm(this);
    setWindowTitle(QString::fromLatin1(kAppTitle));
    serial_ = serial;
    QString error;
    if (!model_->load(mainDb(), serial, &error))
        reportFailureText(DatabaseTask::Read, error);
    model_->DisenyaGrids();
    for (QTableView* grid : {TDBGridInici, TDBGridFi}) {
        grid->resizeColumnsToContents();
        grid->horizontalHeader()->setMinimumHeight(36);
    }
    if (model_->rowCount() > 0) {
        TDBGridInici->selectRow(0);
        TDBGridFi->selectRow(model_->rowCount() - 1);
        TDBGridFi->scrollToBottom();
    }
}

void Form6::SSCommandImprimir_Click()
{
    const QModelIndex from = TDBGridInici->currentIndex();
    const QModelIndex to = TDBGridFi->currentIndex();
    if (!from.isValid() || !to.isValid())
        return;
    const RecordWindowContext context = recordWindowContext(serial_);
    if (!context.error.isEmpty()) {
        reportFailureText(DatabaseTask::Read, context.error);
        return;
    }
    reports::ListingReportInput in;
    in.serial = serial_;
    in.sessions = OptionSesiones->isChecked();
    in.fromDate = model_->stored(from.row(), QStringLiteral("DFechaInicio")).toString();
    in.fromTime = model_->stored(from.row(), QStringLiteral("THoraInicio")).toString();
    in.toDate = model_->stored(to.row(), QStringLiteral("DFechaInicio")).toString();
    in.toTime = model_->stored(to.row(), QStringLiteral("THoraInicio")).toString();
    in.fechaTotales = context.fechaTotales;
    in.horaTotales = context.horaTotales;
    in.intervals = context.intervals;
    in.textoUsuario = appState().textoUsuario;
    showReport(reports::prepareListingReport(in), this);
}

void Form6::SSCommandExit_Click() { accept(); }

void Form6::SSCommandHelp_Click() { AbrirAyuda(); }

} // namespace nbx
