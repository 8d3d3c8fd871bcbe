#include "records/ui/RecordGrid.h"

#include "common/Database.h"
#include "common/Prompter.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QScrollBar>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <vector>
#include <QTableView>
#include <QVBoxLayout>

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
    : QSqlQueryModel(parent), columns_(std::move(columns))
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
                return yesNoPicture(v.toInt() != 0);
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
    if (parent.isValid())
        return 0;
    return sorted_ ? int(order_.size()) : QSqlQueryModel::rowCount(parent);
}

int RecordTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(columns_.size());
}

bool RecordTableModel::canFetchMore(const QModelIndex& parent) const
{
    return !sorted_ && QSqlQueryModel::canFetchMore(parent);
}

QVariant RecordTableModel::stored(int row, int col) const
{
    if (!sorted_)
        return QSqlQueryModel::data(QSqlQueryModel::index(row, col));
    constexpr int kPage = 128;
    if (row < 0 || row >= order_.size() || col < 0 || col >= columns_.size())
        return QVariant();
    const int page = row / kPage;
    auto it = pages_.constFind(page);
    if (it == pages_.constEnd()) {
        const QList<qint64> ids = order_.mid(qsizetype(page) * kPage, kPage);
        QSqlQuery q(db_);
        q.setForwardOnly(true);
        q.prepare(gridSelectRowids(kind_, int(ids.size())));
        for (qint64 id : ids)
            q.addBindValue(id);
        QHash<qint64, QVariantList> byId;
        if (q.exec()) {
            while (q.next()) {
                QVariantList values;
                for (int c = 0; c < columns_.size(); ++c)
                    values << q.value(c + 1);
                byId.insert(q.value(0).toLongLong(), values);
            }
        }
        QList<QVariantList> rows;
        for (qint64 id : ids)
            rows << byId.value(id);
        if (pages_.size() > 64)
            pages_.clear();
        it = pages_.insert(page, rows);
    }
    return it->value(row % kPage).value(col);
}

void RecordTableModel::useQuery(QSqlQuery&& query)
{
    if (sorted_) {
        beginResetModel();
        sorted_ = false;
        order_.clear();
        pages_.clear();
        endResetModel();
    }
    setQuery(std::move(query));
}

namespace {

// A sort key as SQLite orders values: NULL, then numbers, then texts.
struct Key {
    int type = 0;
    double number = 0;
    QString text;
};

Key keyOf(const QVariant& v)
{
    Key k;
    if (v.isNull())
        return k;
    const int t = v.typeId();
    if (t == QMetaType::LongLong || t == QMetaType::Int || t == QMetaType::Double) {
        k.type = 1;
        k.number = v.toDouble();
    } else {
        k.type = 2;
        k.text = v.toString();
    }
    return k;
}

int compare(const Key& a, const Key& b)
{
    if (a.type != b.type)
        return a.type < b.type ? -1 : 1;
    if (a.type == 1)
        return a.number < b.number ? -1 : a.number > b.number ? 1 : 0;
    return a.text.compare(b.text);
}

} // namespace

bool RecordTableModel::useSorted(QSqlDatabase db, GridKind kind, qint32 serial, const QStringList& keys,
                                 bool ascending, QString* error)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    // When the device holds a good share of the table, reading the table in its own order beats
    // visiting the device's rows through the index (one random lookup per row).
    const QString table = quoteIdentifier(gridTable(kind));
    bool scan = false;
    {
        QSqlQuery share(db);
        share.prepare(QStringLiteral("SELECT (SELECT COUNT(*) FROM %1 WHERE LNumeroSerie=?), (SELECT MAX(rowid) FROM %1)")
                          .arg(table));
        share.addBindValue(serial);
        if (share.exec() && share.next())
            scan = share.value(0).toLongLong() * 4 >= share.value(1).toLongLong();
    }
    q.prepare(QStringLiteral("SELECT rowid, %1 FROM %2 %3 WHERE LNumeroSerie=?")
                  .arg(keys.join(QLatin1Char(',')), table, scan ? QStringLiteral("NOT INDEXED") : QString()));
    q.addBindValue(serial);
    if (!q.exec()) {
        if (error)
            *error = q.lastError().text();
        return false;
    }
    struct Entry {
        Key k[2];
        qint64 rowid;
    };
    std::vector<Entry> entries;
    const int n = std::min<int>(int(keys.size()), 2);
    while (q.next()) {
        Entry e;
        e.rowid = q.value(0).toLongLong();
        for (int i = 0; i < n; ++i)
            e.k[i] = keyOf(q.value(i + 1));
        entries.push_back(std::move(e));
    }
    std::stable_sort(entries.begin(), entries.end(), [n, ascending](const Entry& a, const Entry& b) {
        for (int i = 0; i < n; ++i) {
            const int c = compare(a.k[i], b.k[i]);
            if (c != 0)
                return ascending ? c < 0 : c > 0;
        }
        return false;
    });
    clear();
    beginResetModel();
    sorted_ = true;
    db_ = db;
    kind_ = kind;
    order_.clear();
    order_.reserve(qsizetype(entries.size()));
    for (const Entry& e : entries)
        order_.append(e.rowid);
    pages_.clear();
    endResetModel();
    return true;
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
        // The frozen split keeps an (idle) scroll bar so that both splits show the same rows.
        view0_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        view0_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
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
            row->addLayout(col, i == 0 ? 0 : 1);
        }
        layout->addLayout(row);
    }
    applyLayout();
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

void RecordGrid::setSource(QSqlQuery&& query)
{
    const int left = view1_ ? view1_->horizontalScrollBar()->value() : 0;
    model_->useQuery(std::move(query));
    applyLayout();
    if (view1_)
        view1_->horizontalScrollBar()->setValue(left);
}

bool RecordGrid::setSortedSource(QSqlDatabase db, qint32 serial, const QStringList& keys, bool ascending, QString* error)
{
    const int left = view1_ ? view1_->horizontalScrollBar()->value() : 0;
    if (!model_->useSorted(std::move(db), kind_, serial, keys, ascending, error))
        return false;
    applyLayout();
    if (view1_)
        view1_->horizontalScrollBar()->setValue(left);
    return true;
}

void RecordGrid::clearSource()
{
    model_->useQuery(QSqlQuery());
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
