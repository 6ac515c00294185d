#include "app/window/results_table_widget.h"

#include <QFontDatabase>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>

#include "qt_values/qt_values.h"

namespace qrv::window {

namespace {

// A chosen row keeps its alarm colours: it is framed, not filled with the
// selection colour.
class FramedRowDelegate final : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem plain(option);
        plain.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus);
        QStyledItemDelegate::paint(painter, plain, index);
        if (!option.state.testFlag(QStyle::State_Selected)) {
            return;
        }
        constexpr int kLine = 2;
        const QRect cell = option.rect;
        const QColor frame = option.palette.color(QPalette::Active, QPalette::Highlight);
        painter->fillRect(cell.left(), cell.top(), cell.width(), kLine, frame);
        painter->fillRect(cell.left(), cell.bottom() - kLine + 1, cell.width(), kLine, frame);
        if (index.column() == 0) {
            painter->fillRect(cell.left(), cell.top(), kLine, cell.height(), frame);
        }
        if (index.column() == index.model()->columnCount() - 1) {
            painter->fillRect(cell.right() - kLine + 1, cell.top(), kLine, cell.height(), frame);
        }
    }
};

}  // namespace

ResultsTableWidget::ResultsTableWidget(QWidget* parent) : QTableWidget(0, 4, parent) {
    setObjectName("resultsTable");
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setItemDelegate(new FramedRowDelegate(this));
    setFocusPolicy(Qt::StrongFocus);
    setTabKeyNavigation(false);
    connect(this, &QTableWidget::cellDoubleClicked, this,
            [this](int row, int) { emit probeChosen(row); });
    setContextMenuPolicy(Qt::NoContextMenu);
    setShowGrid(true);
    setWordWrap(false);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(RowHeight());
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    horizontalHeader()->setSectionResizeMode(1, QHeaderView::Fixed);
    horizontalHeader()->setSectionResizeMode(2, QHeaderView::Fixed);
    horizontalHeader()->setSectionResizeMode(3, QHeaderView::Stretch);
    const QFontMetrics metrics(font());
    setColumnWidth(1, metrics.horizontalAdvance(QString(14, 'M')));
    setColumnWidth(2, metrics.horizontalAdvance(QString(16, 'n')));
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Eighteen rows in view; more scroll.
    const int height = horizontalHeader()->sizeHint().height() +
                       shell::kResultsVisibleRows * RowHeight() + 2 * frameWidth();
    setFixedHeight(height);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void ResultsTableWidget::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && currentRow() >= 0) {
        emit probeChosen(currentRow());
        return;
    }
    QTableWidget::keyPressEvent(event);
}

void ResultsTableWidget::focusInEvent(QFocusEvent* event) {
    QTableWidget::focusInEvent(event);
    // Qt makes a row current on Tab without choosing it: the user would not
    // see which row Enter opens.
    if (currentRow() >= 0 && !selectionModel()->isRowSelected(currentRow(), QModelIndex())) {
        selectRow(currentRow());
    }
}

int ResultsTableWidget::RowHeight() const {
    return QFontMetrics(font()).height() + 8;
}

void ResultsTableWidget::SetHeaders(const shell::ResultsHeaders& headers) {
    for (int column = 0; column < shell::kResultsColumns; ++column) {
        auto* item = new QTableWidgetItem(Q(headers.titles[static_cast<std::size_t>(column)]));
        if (column == 3) {
            item->setForeground(FromRgb(headers.alarmTitleColor));
        }
        setHorizontalHeaderItem(column, item);
    }
}

void ResultsTableWidget::SetRowCount(int count) {
    // A rebuild (after the current-values view, a change of language) keeps
    // the row the user was on.
    const int chosen = currentRow();
    clearContents();
    setRowCount(count);
    shown_.assign(static_cast<std::size_t>(count), shell::ResultsRow{});
    for (int row = 0; row < count; ++row) {
        for (int column = 0; column < shell::kResultsColumns; ++column) {
            setItem(row, column, new QTableWidgetItem);
        }
    }
    if (chosen >= 0 && chosen < count) {
        setCurrentCell(chosen, 0);
    }
}

void ResultsTableWidget::SetRow(int index, const shell::ResultsRow& row) {
    if (index < 0 || index >= rowCount() || shown_[static_cast<std::size_t>(index)] == row) {
        return;
    }
    shown_[static_cast<std::size_t>(index)] = row;
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    for (int column = 0; column < shell::kResultsColumns; ++column) {
        QTableWidgetItem* cell = item(index, column);
        cell->setText(Q(row.cells[static_cast<std::size_t>(column)]));
        cell->setBackground(FromRgb(row.background));
        cell->setForeground(FromRgb(row.text));
        if (column == 1) {
            // The values are laid out in fixed columns, as in the files.
            cell->setFont(fixed);
        }
    }
}

void ResultsTableWidget::HideTheTable(bool hide) {
    if (hide != hiddenByAlarm_) {
        hiddenByAlarm_ = hide;
        emit hiddenByAlarmChanged();
    }
}

}  // namespace qrv::window
