#include "app/window/results_table_widget.h"

#include <QFontDatabase>
#include <QHeaderView>
#include <QScrollBar>

#include "qt_values/qt_values.h"

namespace qrv::window {

ResultsTableWidget::ResultsTableWidget(QWidget* parent) : QTableWidget(0, 4, parent) {
    setObjectName("resultsTable");
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::NoSelection);
    setFocusPolicy(Qt::NoFocus);
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
    clearContents();
    setRowCount(count);
    shown_.assign(static_cast<std::size_t>(count), shell::ResultsRow{});
    for (int row = 0; row < count; ++row) {
        for (int column = 0; column < shell::kResultsColumns; ++column) {
            setItem(row, column, new QTableWidgetItem);
        }
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
