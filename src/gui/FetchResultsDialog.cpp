#include "gui/FetchResultsDialog.h"

#include "model/AppModel.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

FetchResultsDialog::FetchResultsDialog(const QList<FetchResult>& results, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("fetchResultsDialog"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Fetch all missing: results"));

    int done = 0;
    auto* table = new QTableWidget(static_cast<int>(results.size()), 4, this);
    table->setObjectName(QStringLiteral("fetchResultsTable"));
    table->setHorizontalHeaderLabels(
        {QStringLiteral("Machine"), QStringLiteral("Kind"), QStringLiteral("Entry"), QStringLiteral("Result")});
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    for (int row = 0; row < results.size(); ++row) {
        const FetchResult& result = results.at(row);
        const bool generator = result.match.kind == gw::MachineKind::Generator;
        const QStringList cells = {result.match.dll, generator ? QStringLiteral("generator") : QStringLiteral("effect"),
                                   result.match.entry.isEmpty() ? QStringLiteral("-") : result.match.entry,
                                   result.resultText()};
        for (int column = 0; column < cells.size(); ++column) {
            auto* cell = new QTableWidgetItem(cells.at(column));
            cell->setToolTip(cells.at(column));
            table->setItem(row, column, cell);
        }
        done += result.result == FetchResult::Kind::Installed || result.result == FetchResult::Kind::Moved;
    }
    table->resizeColumnsToContents();

    auto* summary =
        new QLabel(QStringLiteral("%1 of %2 missing machines installed or moved.").arg(done).arg(results.size()), this);
    summary->setObjectName(QStringLiteral("fetchResultsSummary"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(summary);
    layout->addWidget(table, 1);
    layout->addWidget(buttons);
    resize(720, 320);
}
