#include "programming/ui/IntervalGrid.h"

#include "common/DateText.h"
#include "common/Prompter.h"
#include "common/ui/DateBox.h"
#include "programming/IntervalGrid.h"

#include <QAbstractItemDelegate>
#include <QApplication>
#include <QFocusEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QStyledItemDelegate>

namespace nbx {

namespace {

const QStringList kDesignedCaptions{QStringLiteral("N"), QStringLiteral("Fecha"), QStringLiteral("Hora"),
                                    QStringLiteral("Fecha"), QStringLiteral("Hora")};

QString& cell(IntervalRow& r, int column)
{
    switch (column) {
    case GridFechaIni: return r.fechaIni;
    case GridHoraIni: return r.horaIni;
    case GridFechaFi: return r.fechaFi;
    default: return r.horaFi;
    }
}

IntervalRow toRow(const std::array<QString, 4>& cells) { return {cells[0], cells[1], cells[2], cells[3]}; }

// Cell editors: a date is typed in the program's date box, a time takes only the characters of a
// time.
class IntervalDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        if (index.column() == GridFechaIni || index.column() == GridFechaFi) {
            auto* box = new DateBox(DateBox::Kind::Date, QString(), parent);
            box->setFrame(false);
            box->setAlignment(Qt::AlignCenter);
            return box;
        }
        QWidget* w = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto* e = qobject_cast<QLineEdit*>(w))
            e->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9:]{0,5}")), e));
        return w;
    }

protected:
    // A date box with a part of fewer digits holds blanks, which the item views do not count as
    // acceptable input: Enter would be ignored and leaving the cell would drop the edit. The date
    // is written out whole first ("3/4/24" as "03/04/24"); what is not a date is handed to the
    // cell's rule all the same, which refuses it with its message.
    bool eventFilter(QObject* object, QEvent* event) override
    {
        auto* box = qobject_cast<DateBox*>(object);
        if (!box || box->hasAcceptableInput())
            return QStyledItemDelegate::eventFilter(object, event);
        const int key = event->type() == QEvent::KeyPress ? static_cast<QKeyEvent*>(event)->key() : 0;
        const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
        const bool leaving = enter || key == Qt::Key_Tab || key == Qt::Key_Backtab
            || (event->type() == QEvent::FocusOut && QApplication::focusWidget() != box);
        if (!leaving)
            return QStyledItemDelegate::eventFilter(object, event);
        if (const std::optional<QDate> date = parseSheetDate(box->text())) {
            box->setText(formatSheetDate(*date));
            return QStyledItemDelegate::eventFilter(object, event);
        }
        emit commitData(box);
        if (!enter)
            return QStyledItemDelegate::eventFilter(object, event); // closes the editor
        emit closeEditor(box, QAbstractItemDelegate::SubmitModelCache);
        return true;
    }
};

} // namespace

IntervalModel::IntervalModel(QObject* parent)
    : QAbstractTableModel(parent)
    , captions_(kDesignedCaptions)
{
    setIntervals(InhibitedIntervals());
}

int IntervalModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kIntervalCount; }

int IntervalModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 5; }

QVariant IntervalModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole && role != Qt::TextAlignmentRole))
        return {};
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignCenter);
    if (index.column() == GridNumber)
        return index.row() + 1;
    return rows_[index.row()][index.column() - 1];
}

bool IntervalModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || role != Qt::EditRole || index.column() == GridNumber)
        return false;
    const int r = index.row();
    // An editor closed without a change stores nothing, so it is not validated either.
    if (value.toString() == rows_[r][index.column() - 1])
        return true;
    const GridEditResult result = validateIntervalEdit(toRow(rows_[r]), index.column(), value.toString());
    if (result.message != GridMessage::None)
        emit messagePosted(gridMessageId(result.message));
    if (!result.accepted) {
        emit editRefused();
        return false;
    }
    IntervalRow row = result.row;
    for (int c = 1; c <= 4; ++c)
        rows_[r][c - 1] = cell(row, c);
    emit dataChanged(this->index(r, 1), this->index(r, 4));
    return true;
}

Qt::ItemFlags IntervalModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() != GridNumber)
        f |= Qt::ItemIsEditable;
    return f;
}

QVariant IntervalModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < captions_.size())
        return displayText(captions_[section]);
    return QAbstractTableModel::headerData(section, orientation, role);
}

void IntervalModel::setIntervals(const InhibitedIntervals& intervals)
{
    beginResetModel();
    const IntervalRows rows = gridRowsFromIntervals(intervals);
    for (int r = 0; r < kIntervalCount; ++r)
        rows_[r] = {rows[r].fechaIni, rows[r].horaIni, rows[r].fechaFi, rows[r].horaFi};
    endResetModel();
}

InhibitedIntervals IntervalModel::intervals() const
{
    IntervalRows rows;
    for (int r = 0; r < kIntervalCount; ++r)
        rows[r] = toRow(rows_[r]);
    return intervalsFromGridRows(rows);
}

void IntervalModel::setCaptions(const QStringList& captions)
{
    for (int i = 0; i < captions_.size() && i < captions.size(); ++i)
        captions_[i] = captions[i];
    emit headerDataChanged(Qt::Horizontal, 0, captions_.size() - 1);
}

IntervalGridView::IntervalGridView(QWidget* parent)
    : QTableView(parent)
{
    setItemDelegate(new IntervalDelegate(this));
    verticalHeader()->setVisible(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                    | QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
    setTabKeyNavigation(false);
}

void IntervalGridView::setModel(QAbstractItemModel* model)
{
    QTableView::setModel(model);
    // Columns wide enough for "dd/mm/yy" and "hh:mm"; the view is as wide as its columns.
    const int date = fontMetrics().horizontalAdvance(QStringLiteral("00/00/00")) + 24;
    const int time = fontMetrics().horizontalAdvance(QStringLiteral("00:00")) + 24;
    setColumnWidth(GridNumber, fontMetrics().horizontalAdvance(QStringLiteral("30")) + 20);
    setColumnWidth(GridFechaIni, date);
    setColumnWidth(GridHoraIni, time);
    setColumnWidth(GridFechaFi, date);
    setColumnWidth(GridHoraFi, time);
    int total = 2 * frameWidth() + style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 2;
    for (int c = 0; c < 5; ++c)
        total += columnWidth(c);
    setFixedWidth(total);
}

bool IntervalGridView::commitPendingEdit()
{
    const QModelIndex current = currentIndex();
    if (!current.isValid() || state() != QAbstractItemView::EditingState)
        return false;
    if (QWidget* editor = indexWidget(current)) {
        commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
        return true;
    }
    // Editors opened by the delegate are not index widgets: find the one open on the current cell.
    for (QWidget* child : viewport()->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (child->isVisible() && qobject_cast<QLineEdit*>(child)) {
            commitData(child);
            closeEditor(child, QAbstractItemDelegate::NoHint);
            return true;
        }
    }
    return false;
}

bool IntervalGridView::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event)
{
    if (!QTableView::edit(index, trigger, event))
        return false;
    // The cell's editor is the viewport's one child widget.
    for (QWidget* editor : viewport()->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        editor->installEventFilter(this);
    return true;
}

bool IntervalGridView::eventFilter(QObject* watched, QEvent* event)
{
    // An open cell stays open while another window is active, as a box keeps its text: the edit
    // is taken when the sheet is left or its data used, not when the user looks elsewhere. The
    // editor still sees the event (its caret stops); the delegate, which would close it, does not.
    if (event->type() == QEvent::FocusOut && watched->parent() == viewport()
        && static_cast<QFocusEvent*>(event)->reason() == Qt::ActiveWindowFocusReason) {
        auto* editor = static_cast<QWidget*>(watched);
        editor->removeEventFilter(this);
        editor->removeEventFilter(itemDelegate());
        QCoreApplication::sendEvent(editor, event);
        editor->installEventFilter(itemDelegate());
        editor->installEventFilter(this);
        return true;
    }
    return QTableView::eventFilter(watched, event);
}

bool IntervalGridView::owns(const QWidget* w) const
{
    for (const QWidget* p = w; p; p = p->parentWidget())
        if (p == this)
            return true;
    return false;
}

QStringList IntervalGridView::texts() const
{
    QStringList out{QString()};
    if (auto* m = qobject_cast<const IntervalModel*>(model()))
        out += m->captions();
    return out;
}

void IntervalGridView::setTexts(const QStringList& texts)
{
    if (auto* m = qobject_cast<IntervalModel*>(model()))
        m->setCaptions(texts.mid(1));
}

} // namespace nbx
