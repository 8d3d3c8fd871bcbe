#include "records/ui/RecordGrid.h"

#include "common/Database.h"
#include "common/Prompter.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

namespace nbx {

namespace {

// The two pictures of the yes/no columns: a filled green disc for yes, a grey ring for no.
QPixmap yesNoPicture(bool yes)
{
    static const QPixmap pictures[2] = {[] {
        QPixmap p(12, 12);
        p.fill(Qt::transparent);
        QPainter g(&p);
        g.setRenderHint(QPainter::Antialiasing);
        g.setPen(QPen(QColor(120, 120, 120), 1.5));
        g.drawEllipse(QRectF(1.5, 1.5, 9, 9));
        return p;
    }(), [] {
        QPixmap p(12, 12);
        p.fill(Qt::transparent);
        QPainter g(&p);
        g.setRenderHint(QPainter::Antialiasing);
        g.setPen(QPen(QColor(0, 110, 0), 1));
        g.setBrush(QColor(40, 170, 40));
        g.drawEllipse(QRectF(1, 1, 10, 10));
        return p;
    }()};
    return pictures[yes ? 1 : 0];
}

int twipsToPixels(int twips, const QWidget* w)
{
    return qRound(twips / 15.0 * (w ? w->logicalDpiX() : 96) / 96.0);
}

} // namespace

RecordTableModel::RecordTableModel(QList<GridColumn> columns, QObject* parent)
    : QAbstractTableModel(parent), columns_(std::move(columns))
{
    for (const GridColumn& c : columns_)
        captions << c.design;
}

QVariant RecordTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.column() >= columns_.size())
        return QVariant();
    const GridColumn& c = columns_[index.column()];
    switch (role) {
    case Qt::DisplayRole:
        return cellText(c, stored(index.row(), index.column()), uncalibratedText);
    case Qt::DecorationRole:
        if (c.items == ValueItems::YesNo) {
            const QVariant v = stored(index.row(), index.column());
            if (!v.isNull())
                return yesNoPicture(v.toDouble() != 0); // any non-zero value is yes
        }
        return QVariant();
    case Qt::BackgroundRole:
        return c.cell ? QVariant(QColor::fromRgba(c.cell)) : QVariant();
    case Qt::TextAlignmentRole:
        return int(Qt::AlignCenter);
    default:
        return QVariant();
    }
}

QVariant RecordTableModel::headerData(int section, Qt::Orientation o, int role) const
{
    if (o == Qt::Vertical)
        return role == Qt::DisplayRole ? QVariant(QString()) : QVariant();
    if (section < 0 || section >= columns_.size())
        return QVariant();
    if (role == Qt::DisplayRole)
        return displayText(captions.value(section));
    if (role == Qt::BackgroundRole && columns_[section].heading)
        return QColor::fromRgba(columns_[section].heading);
    return QVariant();
}

int RecordTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(order_.size());
}

int RecordTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(columns_.size());
}

QVariant RecordTableModel::stored(int row, int col) const
{
    if (row < 0 || row >= order_.size() || col < 0 || col >= columns_.size())
        return QVariant();
    const int page = row / kPageRows;
    auto it = pages_.constFind(page);
    if (it == pages_.constEnd()) {
        QList<QVariantList> rows;
        // A page that cannot be read shows empty cells and is tried again at the next paint.
        if (!readGridPage(db_, kind_, order_.mid(qsizetype(page) * kPageRows, kPageRows), int(columns_.size()), rows,
                      nullptr))
            return QVariant();
        if (pages_.size() >= kCachedPages)
            pages_.clear();
        it = pages_.insert(page, rows);
    }
    return it->value(row % kPageRows).value(col);
}

void RecordTableModel::setRows(QSqlDatabase db, GridKind kind, GridRows rows)
{
    beginResetModel();
    db_ = std::move(db);
    kind_ = kind;
    order_ = std::move(rows.order);
    pages_.clear();
    if (!rows.firstPage.isEmpty())
        pages_.insert(0, std::move(rows.firstPage));
    endResetModel();
}

void RecordTableModel::clearRows()
{
    beginResetModel();
    order_.clear();
    pages_.clear();
    endResetModel();
}

Qt::ItemFlags RecordTableModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

ColouredHeader::ColouredHeader(Qt::Orientation o, int lines, QWidget* parent) : QHeaderView(o, parent), lines_(lines)
{
    setSectionsClickable(true);
    setSectionsMovable(false);
    setHighlightSections(false);
}

QSize ColouredHeader::sizeHint() const
{
    QSize s = QHeaderView::sizeHint();
    if (orientation() == Qt::Horizontal)
        s.setHeight(fontMetrics().height() * lines_ + 8);
    return s;
}

void ColouredHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const
{
    if (!rect.isValid() || !model())
        return;
    const QVariant bg = model()->headerData(logicalIndex, orientation(), Qt::BackgroundRole);
    painter->save();
    painter->fillRect(rect, bg.isValid() ? bg.value<QColor>() : palette().color(QPalette::Button));
    painter->setPen(palette().color(QPalette::Mid));
    painter->drawLine(rect.topRight(), rect.bottomRight());
    painter->drawLine(rect.bottomLeft(), rect.bottomRight());
    painter->setPen(palette().color(QPalette::ButtonText));
    painter->drawText(rect.adjusted(2, 1, -2, -1), Qt::AlignCenter | Qt::TextWordWrap,
                      model()->headerData(logicalIndex, orientation(), Qt::DisplayRole).toString());
    painter->restore();
}

RecordGrid::RecordGrid(const QString& objectName, GridKind kind, const QString& caption,
                       const QStringList& splitCaptions, QWidget* parent)
    : QWidget(parent), kind_(kind), captionKey_(caption), splitKeys_(splitCaptions)
{
    setObjectName(objectName);
    setAccessibleName(caption);
    model_ = new RecordTableModel(gridColumns(kind), this);
    const bool twoSplits = !splitCaptions.isEmpty();
    const int lines = twoSplits ? 2 : 1;

    caption_ = new QLabel(caption, this);
    caption_->setAlignment(Qt::AlignCenter);
    caption_->setAutoFillBackground(true);
    QPalette pal = caption_->palette();
    pal.setColor(QPalette::Window, QColor(255, 150, 150));
    if (!twoSplits)
        caption_->setPalette(pal);

    auto makeView = [&](bool selectors) {
        auto* v = new QTableView(this);
        v->setHorizontalHeader(new ColouredHeader(Qt::Horizontal, lines, v));
        v->setModel(model_);
        v->setEditTriggers(QAbstractItemView::NoEditTriggers);
        v->setSelectionBehavior(QAbstractItemView::SelectRows);
        v->setSelectionMode(QAbstractItemView::SingleSelection);
        v->verticalHeader()->setVisible(selectors);
        v->verticalHeader()->setDefaultSectionSize(v->fontMetrics().height() + 6);
        v->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        v->verticalHeader()->setFixedWidth(14);
        v->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
        v->setWordWrap(false);
        if (!twoSplits) {
            QPalette p = v->palette();
            p.setColor(QPalette::Base, QColor(255, 220, 220));
            v->setPalette(p);
        }
        connect(v->horizontalHeader(), &QHeaderView::sectionClicked, this, &RecordGrid::headClick);
        return v;
    };

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    layout->addWidget(caption_);
    view0_ = makeView(true);
    if (!twoSplits) {
        layout->addWidget(view0_);
    } else {
        view1_ = makeView(false);
        view1_->setSelectionModel(view0_->selectionModel());
        // The frozen split shows every one of its columns and scrolls only with the other split.
        view0_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        view0_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        // Its rows stay level with the other split's: a foot as high as that split's horizontal
        // scroll bar, while the bar shows, gives both the same height of rows.
        frozenFoot_ = new QWidget(this);
        frozenFoot_->setFixedHeight(0);
        view1_->horizontalScrollBar()->installEventFilter(this);
        // One vertical scroll for both splits.
        connect(view1_->verticalScrollBar(), &QScrollBar::valueChanged, view0_->verticalScrollBar(), &QScrollBar::setValue);
        connect(view0_->verticalScrollBar(), &QScrollBar::valueChanged, view1_->verticalScrollBar(), &QScrollBar::setValue);
        auto* row = new QHBoxLayout;
        row->setSpacing(0);
        for (int i = 0; i < 2; ++i) {
            auto* col = new QVBoxLayout;
            col->setSpacing(0);
            auto* l = new QLabel(splitCaptions[i], this);
            l->setAlignment(Qt::AlignCenter);
            l->setFrameStyle(QFrame::Panel | QFrame::Raised);
            splitLabels_ << l;
            col->addWidget(l);
            col->addWidget(i == 0 ? view0_ : view1_);
            if (i == 0)
                col->addWidget(frozenFoot_);
            row->addLayout(col, i == 0 ? 0 : 1);
        }
        layout->addLayout(row);
    }
    applyLayout();
}

bool RecordGrid::eventFilter(QObject* watched, QEvent* event)
{
    if (view1_ && watched == view1_->horizontalScrollBar()
        && (event->type() == QEvent::Show || event->type() == QEvent::Hide))
        alignFrozenRows();
    return QWidget::eventFilter(watched, event);
}

void RecordGrid::alignFrozenRows()
{
    const QScrollBar* bar = view1_->horizontalScrollBar();
    frozenFoot_->setFixedHeight(bar->isVisibleTo(view1_) ? bar->sizeHint().height() : 0);
}

QString RecordGrid::caption() const { return caption_->text(); }
QString RecordGrid::splitCaption(int i) const { return splitLabels_.value(i) ? splitLabels_[i]->text() : QString(); }

void RecordGrid::applyLayout()
{
    const QList<GridColumn>& cols = model_->columns();
    int frozenWidth = view0_->verticalHeader()->width() + 2 * view0_->frameWidth();
    for (int i = 0; i < cols.size(); ++i) {
        const int w = twipsToPixels(cols[i].widthTwips, this);
        for (QTableView* v : {view0_, view1_}) {
            if (!v)
                continue;
            const bool shown = view1_ ? (cols[i].split == (v == view0_ ? 0 : 1)) : cols[i].split >= 0;
            v->setColumnHidden(i, !shown);
            if (shown)
                v->setColumnWidth(i, w);
        }
        if (view1_ && cols[i].split == 0)
            frozenWidth += w;
    }
    if (view1_)
        view0_->setFixedWidth(frozenWidth);
}

void RecordGrid::setRows(QSqlDatabase db, GridRows rows)
{
    const int left = view1_ ? view1_->horizontalScrollBar()->value() : 0;
    model_->setRows(std::move(db), kind_, std::move(rows));
    applyLayout();
    if (view1_)
        view1_->horizontalScrollBar()->setValue(left);
}

void RecordGrid::clearSource()
{
    model_->clearRows();
    applyLayout();
}

void RecordGrid::design(const QString& uncalibrated)
{
    model_->uncalibratedText = uncalibrated;
    for (int i = 0; i < model_->captions.size(); ++i)
        model_->captions[i] = designedCaption(kind_, i, model_->captions[i]);
    emit model_->headerDataChanged(Qt::Horizontal, 0, int(model_->captions.size()) - 1);
}

QStringList RecordGrid::texts() const
{
    QStringList t{caption_->text()};
    t += model_->captions;
    for (const QLabel* l : splitLabels_)
        t << l->text();
    return t;
}

void RecordGrid::setTexts(const QStringList& texts)
{
    const int n = int(model_->captions.size());
    if (texts.size() != 1 + n + splitLabels_.size())
        return;
    caption_->setText(displayText(texts[0]));
    for (int i = 0; i < n; ++i)
        model_->captions[i] = texts[1 + i];
    for (int i = 0; i < splitLabels_.size(); ++i)
        splitLabels_[i]->setText(displayText(texts[1 + n + i]));
    emit model_->headerDataChanged(Qt::Horizontal, 0, n - 1);
}

} // namespace nbx
